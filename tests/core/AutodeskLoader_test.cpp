#include <gtest/gtest.h>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"

namespace {

// ImageMagick cannot read these files. The reference is a throw-away Python reader written
// from the format notes.
constexpr const char* Ref = "throw-away reader from the format notes";

KV_SAMPLE_TESTS(AutodeskLoader, DecodeAutodesk, "pic-cel", {
    {"pic-cel/CRSHAIR.CEL", 314, 146, "70a55a73a78396b0", Ref},
    {"pic-cel/LOGO.CEL", 84, 88, "a6eefdcde7aa3d01", Ref},
    {"pic-cel/RED.CEL", 42, 53, "725c622c7ef4d315", Ref},
    {"pic-cel/ZIN.CEL", 6, 6, "39135fd99c64a14d", Ref},
    {"pic-cel/ZOUT.CEL", 6, 5, "e8e5958e9b16224a", Ref},
})

// The original Animator's PIC/CEL: palette entries 0 and 1 set (6-bit), then the pixels.
TBytes Original(unsigned w, unsigned h, const std::vector<uint8_t>& pixels, unsigned bits = 8,
                uint32_t dataSize = 0) {
  TBytes b;
  b.U16LE(0x9119).U16LE(w).U16LE(h).U32LE(0).U8(bits).U8(0).U32LE(dataSize ? dataSize : w * h).Fill(16);
  b.Raw({0, 0, 0, 63, 32, 64 + 1}).Fill(768 - 6).Raw(pixels);
  return b;
}

// Animator Pro's PIC: a 64-byte header, then a colour map block and a pixel block.
TBytes ProPic(unsigned w, unsigned h, unsigned bits, uint16_t pixelType, const std::vector<uint8_t>& pixels) {
  TBytes b;
  b.U32LE(0).U16LE(0x9500).U16LE(w).U16LE(h).U32LE(0).U32LE(0).U8(bits).Fill(45);
  b.U32LE(6 + 2 + 768).U16LE(0).U16LE(0).Raw({0, 0, 0, 255, 128, 1}).Fill(768 - 6);
  b.U32LE(uint32_t(6 + pixels.size())).U16LE(pixelType).Raw(pixels);
  b.B[0] = uint8_t(b.Size()), b.B[1] = uint8_t(b.Size() >> 8);
  return b;
}

TBytes Chunk(uint16_t type, const std::vector<uint8_t>& body) {
  TBytes b;
  b.U32LE(uint32_t(6 + body.size())).U16LE(type).Raw(body);
  return b;
}

// Animator Pro's CEL: an FLC header, a prefix chunk, and one frame of the given chunks.
TBytes Flc(unsigned w, unsigned h, const std::vector<TBytes>& chunks, bool frameOffset = true,
           unsigned depth = 8) {
  TBytes frame;
  for (const TBytes& c : chunks) frame.Raw(c.B);
  const TBytes prefix = Chunk(0xF100, std::vector<uint8_t>(10));
  TBytes b;
  b.U32LE(0).U16LE(0xAF12).U16LE(1).U16LE(w).U16LE(h).U16LE(depth).Fill(80 - 14);
  b.U32LE(frameOffset ? uint32_t(128 + prefix.Size()) : 0).Fill(128 - 84).Raw(prefix.B);
  b.U32LE(uint32_t(16 + frame.Size())).U16LE(0xF1FA).U16LE(unsigned(chunks.size())).Fill(8).Raw(frame.B);
  b.B[0] = uint8_t(b.Size()), b.B[1] = uint8_t(b.Size() >> 8);
  return b;
}

// COLOR_64 or COLOR_256: one packet setting entries 1 and 2 after skipping 1.
TBytes Colours(uint16_t type, uint8_t v) {
  return Chunk(type, {1, 0, 1, 2, v, 0, 0, 0, v, 0});
}

TEST(AutodeskLoader, EachVariantDrawsItsPixels) {
  const TColor32 black = Color32(255, 0, 0, 0), white = Color32(255, 255, 255, 255);
  const TColor32 red = Color32(255, 255, 0, 0), green = Color32(255, 0, 255, 0);
  struct TCase {
    const char* Name;
    TBytes File;
    int Width, Height;
    std::vector<TColor32> Pixels;  // row by row
  } cases[] = {
      // 6-bit components (63 -> 255, 32 -> 130; bits above six are ignored)
      {"original", Original(2, 1, {1, 0}), 2, 1, {Color32(255, 255, 130, 4), black}},
      {"Pro PIC",
       ProPic(3, 1, 8, 1, {1, 0, 1}),
       3,
       1,
       {Color32(255, 255, 128, 1), black, Color32(255, 255, 128, 1)}},
      // Rows of 10 bits padded to 4 bytes, as the block's length says.
      {"Pro mask",
       ProPic(10, 2, 1, 2, {0x80, 0x40, 0, 0, 0x01, 0x00, 0, 0}),
       10,
       2,
       {white, black, black, black, black, black, black, black, black, white,
        black, black, black, black, black, black, black, white, black, black}},
      // BYTE_RUN: a packet count, then 3 repeats of 1 and a literal of 2, 0.
      {"FLC, 64-level colours and byte runs",
       Flc(5, 1, {Colours(11, 63), Chunk(15, {2, 3, 1, 0xFE, 2, 0})}),
       5,
       1,
       {red, red, red, green, black}},
      {"FLC, 256-level colours and a copy",
       Flc(2, 2, {Colours(4, 255), Chunk(16, {2, 1, 0, 1})}, false),
       2,
       2,
       {green, red, black, red}},
      {"FLC, black and a postage stamp", Flc(1, 1, {Chunk(18, {1, 2, 3}), Chunk(13, {})}), 1, 1, {black}},
  };
  for (TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeAutodesk(c.File.B);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_FALSE(r.Partial());
    ASSERT_EQ(r.Bitmap().Width(), c.Width);
    ASSERT_EQ(r.Bitmap().Height(), c.Height);
    for (int i = 0; i < c.Width * c.Height; ++i)
      EXPECT_EQ(r.Bitmap().Pixel(i % c.Width, i / c.Width), c.Pixels[size_t(i)]) << i;
  }
}

TEST(AutodeskLoader, CutRunsGiveTheRowsTheyHold) {
  const TDecodeResult r = DecodeAutodesk(Flc(2, 3, {Chunk(15, {1, 2, 0, 1, 2, 1})}).B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  EXPECT_EQ(r.Bitmap().Width(), 2);
}

TEST(AutodeskLoader, OtherFilesAndBadHeadersFail) {
  TBytes otherPic;  // a PC Paint / Pictor picture shares the extension
  otherPic.U16LE(0x1234).U16LE(320).U16LE(200).Fill(1000);
  TBytes huge = Original(60000, 4000, {});
  huge.Fill(4000);
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"another kind of PIC", otherPic.B, TDecodeErrorKind::deCorrupt},
      {"original, 4 bits", Original(2, 1, {1, 0}, 4).B, TDecodeErrorKind::deUnsupported},
      {"original, data size not the picture's", Original(2, 1, {1, 0}, 8, 3).B, TDecodeErrorKind::deCorrupt},
      {"original, palette cut",
       [] {
         auto v = Original(2, 1, {}).B;
         v.resize(500);
         return v;
       }(),
       TDecodeErrorKind::deTruncated},
      {"original, no pixels", Original(2, 1, {}).B, TDecodeErrorKind::deTruncated},
      {"Pro PIC, 4 bits", ProPic(2, 1, 4, 1, {1, 0}).B, TDecodeErrorKind::deUnsupported},
      {"FLC, 16 bits", Flc(1, 1, {Chunk(13, {})}, true, 16).B, TDecodeErrorKind::deUnsupported},
      {"FLC, no full picture in the frame", Flc(1, 1, {Colours(4, 255), Chunk(7, {0, 0})}).B,
       TDecodeErrorKind::deUnsupported},
      {"tiny file, huge picture", huge.B, TDecodeErrorKind::deTruncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeAutodesk(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
  ExpectRefusedWithinMemory(DecodeAutodesk, Flc(60000, 4000, {Chunk(13, {})}).B,
                            TDecodeErrorKind::deTruncated);
}

}  // namespace
