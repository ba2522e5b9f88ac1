#include "bitmap/Bitmap32.h"

#include <gtest/gtest.h>

TEST(Bitmap32, PremultiplyRoundTripsOpaqueAndRoundsTranslucent) {
  EXPECT_EQ(PremultipliedColor32(255, 10, 20, 30), Color32(255, 10, 20, 30));
  EXPECT_EQ(PremultipliedColor32(0, 200, 100, 50), Color32(0, 0, 0, 0));
  EXPECT_EQ(PremultipliedColor32(128, 255, 0, 100), Color32(128, 128, 0, 50));
  uint8_t a, r, g, b;
  UnpremultiplyColor32(Color32(128, 128, 0, 50), a, r, g, b);
  EXPECT_EQ(a, 128);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(b, 100);
}

TEST(Bitmap32, EmptyWhenEitherSideIsZeroAndRefusesHugeSizes) {
  TBitmap32 bmp(10, 0);
  EXPECT_TRUE(bmp.Empty());
  EXPECT_EQ(bmp.Width(), 0);
  bmp.SetSize(3, 2);
  bmp.Clear(Color32(255, 1, 2, 3));
  EXPECT_EQ(bmp.Pixel(2, 1), Color32(255, 1, 2, 3));
  EXPECT_EQ(bmp.Stride(), 12u);
  EXPECT_FALSE(TBitmap32::IsAcceptableSize(1 << 15, (1 << 13) + 1));
  EXPECT_THROW(bmp.SetSize(1 << 15, (1 << 13) + 1), std::length_error);
  EXPECT_EQ(bmp.Width(), 3);  // unchanged by the refused call
}
