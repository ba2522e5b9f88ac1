// Flipping through a folder of 200 pictures of mixed formats, some undecodable, the way the
// slideshow drives the image loader: each shown entry requested, its neighbours prefetched, quick
// bursts of requests, back and forth, and the cache dropped when the list changes. Built for the
// sanitizer run: no leak, no hang, memory bounded by the small budget.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bitmap/PngWriter.h"
#include "imageview/ZmImageLoader.h"
#include "platform/Thread.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

// Enough for a few of the small pictures, far from all of them.
constexpr uint64_t Budget = 16 * 1024;

struct TEntry {
  std::string Path;
  int Width;  // of the picture it holds; 0: a picture of unknown width; -1: undecodable
};

std::string U16(int v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string U32(int64_t v) { return U16(int(v & 0xFFFF)) + U16(int((v >> 16) & 0xFFFF)); }

// A 24-bit bottom-up BMP whose header declares width x height, followed by `pixelBytes` bytes.
std::string Bmp(int width, int height, size_t pixelBytes) {
  std::string b = "BM" + U32(54 + int64_t(pixelBytes)) + U32(0) + U32(54);
  b += U32(40) + U32(width) + U32(height) + U16(1) + U16(24) + U32(0) + U32(0) + U32(2835) + U32(2835) +
       U32(0) + U32(0);
  return b + std::string(pixelBytes, '\x5a');
}
std::string Bmp(int width, int height) {
  return Bmp(width, height, size_t((width * 3 + 3) / 4 * 4) * height);
}

// An uncompressed top-down 24-bit Targa picture.
std::string Tga(int width, int height) {
  std::string t = {0, 0, 2, 0, 0, 0, 0, 0};
  t += U16(0) + U16(0) + U16(width) + U16(height) + char(24) + char(0x20);
  return t + std::string(size_t(width) * height * 3, '\x33');
}

std::string Pnm(char kind, int width, int height, size_t rasterBytes) {
  return std::string("P") + kind + " " + std::to_string(width) + " " + std::to_string(height) + " 255\n" +
         std::string(rasterBytes, '\x77');
}

class SlideFlipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Loader.SetCacheBudget(Budget);
    Loader.OnLoaded = [this](const std::string& path, const TZmLoadedImage& image) {
      Log.push_back({path, image.Ok() ? image.Bitmap->Width() : -1, path == Requesting});
      EXPECT_LE(Loader.CachedBytes(), Budget);
    };
  }

  // The 200 entries of the list, in list order.
  void MakeFolder() {
    const std::string corpus[][2] = {{"formats/tga/200x32_la_bl_rle.tga", "200"},
                                     {"formats/netpbm/hopper_8bit.ppm", "128"},
                                     {"formats/bmp/rgba32.bmp", "0"}};
    const bool haveCorpus = !CorpusPath("").empty();
    std::vector<std::string> vanishing;
    for (int i = 0; i < 200; ++i) {
      const int w = 8 + i % 23, h = 5 + i % 11;
      char prefix[8];
      std::snprintf(prefix, sizeof prefix, "%03d-", i);
      const std::string name = Dir.Path() + prefix;
      TEntry e{"", w};
      switch (i % 16) {
        case 0:
        case 5: {
          TBitmap32 picture(w, h);
          picture.Clear(i % 2 ? Color32(255, 10, 200, 30) : Color32(128, 64, 0, 64));
          e.Path = name + "picture.png";
          EXPECT_TRUE(WritePng(picture, e.Path));
          break;
        }
        case 1: e.Path = Dir.File(prefix + std::string("picture.bmp"), Bmp(w, h)); break;
        case 2:
          e.Path = Dir.File(prefix + std::string("picture.ppm"), Pnm('6', w, h, size_t(w) * h * 3));
          break;
        case 3: e.Path = Dir.File(prefix + std::string("picture.tga"), Tga(w, h)); break;
        case 4:
          e = {name + "photo.jpg", 61};
          std::filesystem::copy_file(
              TestDataPath(i % 32 ? "jpeg/ycc420-baseline.jpg" : "jpeg/grey-progressive.jpg"), e.Path);
          break;
        case 6: e.Path = Dir.File(prefix + std::string("picture.pgm"), Pnm('5', w, h, size_t(w) * h)); break;
        case 7:
          if (haveCorpus) {
            const auto& sample = corpus[i / 16 % 3];
            e = {name + std::filesystem::path(sample[0]).filename().string(), std::stoi(sample[1])};
            std::filesystem::copy_file(CorpusPath(sample[0]), e.Path);
          } else {
            e.Path = Dir.File(prefix + std::string("picture.bmp"), Bmp(w, h));
          }
          break;
        // Undecodable: each must come back as a failure, quickly.
        case 8: e = {Dir.File(prefix + std::string("empty.png"), ""), -1}; break;
        case 9: e = {Dir.File(prefix + std::string("noise.bmp"), std::string(300, '\xa7')), -1}; break;
        case 10: {
          TBitmap32 picture(w, h);
          picture.Clear(Color32(255, 1, 2, 3));
          e = {name + "cut.png", -1};
          ASSERT_TRUE(WritePng(picture, e.Path));
          std::filesystem::resize_file(e.Path, 30);  // the header chunk ends early
          break;
        }
        case 11: e = {Dir.File(prefix + std::string("cut.pgm"), Pnm('5', w, h, 10)), -1}; break;
        // Tiny files that declare huge pictures.
        case 12: e = {Dir.File(prefix + std::string("huge.bmp"), Bmp(16000, 16000, 100)), -1}; break;
        case 13: e = {Dir.File(prefix + std::string("huge.pgm"), Pnm('5', 60000, 60000, 64)), -1}; break;
        case 14:
          e = {name + "x.jpg", -1};
          EXPECT_EQ(mkfifo(e.Path.c_str(), 0600), 0);
          break;
        case 15:
          e = {Dir.File(prefix + std::string("gone.ppm"), Pnm('6', w, h, size_t(w) * h * 3)), -1};
          vanishing.push_back(e.Path);
          break;
      }
      Entries.push_back(e);
    }
    // Listed, then deleted before it is shown.
    for (const std::string& path : vanishing) std::filesystem::remove(path);
  }

  // Requests the entries of `burst` in quick succession, as key presses do, and waits for the
  // last. Only the last may be delivered after its request; an earlier one may only have come
  // at once from the cache. Then prefetches the neighbours, as the slideshow does.
  void Show(const std::vector<int>& burst) {
    ASSERT_FALSE(burst.empty());
    const size_t start = Log.size();
    for (int index : burst) {
      Requesting = Entries[size_t(index)].Path;
      Loader.Request(Requesting);
    }
    Requesting.clear();
    const int now = burst.back();
    const TEntry& shown = Entries[size_t(now)];
    ASSERT_TRUE(PumpUntil([&] { return Log.size() > start && Log.back().Path == shown.Path; }))
        << "entry " << now << " never delivered";
    for (size_t i = start; i + 1 < Log.size(); ++i)
      EXPECT_TRUE(Log[i].Sync) << "delivered while entry " << now << " was awaited: " << Log[i].Path;
    const TDelivery& d = Log.back();
    if (shown.Width < 0)
      EXPECT_EQ(d.Width, -1) << d.Path;
    else if (shown.Width > 0)
      EXPECT_EQ(d.Width, shown.Width) << d.Path;
    else
      EXPECT_GT(d.Width, 0) << d.Path;
    EXPECT_LE(Loader.CachedBytes(), Budget);
    const int count = int(Entries.size());
    Loader.Prefetch(
        {Entries[size_t((now + 1) % count)].Path, Entries[size_t((now + count - 1) % count)].Path});
    Now = now;
  }
  void Step(int by) { Show({(Now + by + int(Entries.size())) % int(Entries.size())}); }

  // Serves deliveries until `done`; false after a deadline far beyond any real decode here.
  template <class F>
  static bool PumpUntil(F done) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      CheckSynchronize(5);
    }
    return true;
  }

  struct TDelivery {
    std::string Path;
    int Width;  // -1 for a failure
    bool Sync;  // delivered inside the Request for this very path: a cache hit
  };

  TTempDir Dir;
  std::vector<TEntry> Entries;
  std::vector<TDelivery> Log;
  std::string Requesting;
  int Now = 0;
  TZmImageLoader Loader;  // goes first: no delivery reaches a member already gone
};

TEST_F(SlideFlipTest, FlipsThroughMixedPicturesWithoutHangOrGrowth) {
  ASSERT_NO_FATAL_FAILURE(MakeFolder());
  ASSERT_EQ(Entries.size(), 200u);
  ASSERT_NO_FATAL_FAILURE(Show({0}));

  // Forward through the first half, with a burst of presses now and then once the prefetch is
  // done, so that a request's own decode runs when newer ones cancel it.
  while (Now < 100) {
    if (Now % 9 == 4) {
      ASSERT_TRUE(PumpUntil([&] { return !Loader.Busy(); }));
      ASSERT_NO_FATAL_FAILURE(Show({Now + 1, Now + 2, Now + 3}));
    } else {
      ASSERT_NO_FATAL_FAILURE(Step(+1));
    }
  }
  // Back and forth over cached and evicted neighbours, and by pages.
  for (int round = 0; round < 12; ++round)
    for (int by : {-1, +1, -1, -1, +2, +10, -10, +1})
      ASSERT_NO_FATAL_FAILURE(Step(by));

  // The list changed: nothing cached survives, and flipping goes on.
  Loader.ClearCache();
  EXPECT_EQ(Loader.CachedBytes(), 0u);
  for (int i = 0; i < 130; ++i) {  // on over the end of the list, wrapping round as with loop
    if (i % 13 == 0)
      ASSERT_NO_FATAL_FAILURE(Show({(Now + 1) % 200, (Now + 2) % 200, (Now + 3) % 200, (Now + 4) % 200}));
    else
      ASSERT_NO_FATAL_FAILURE(Step(+1));
  }
  for (int i = 0; i < 80; ++i) ASSERT_NO_FATAL_FAILURE(Step(-1));  // and back over the seam

  // Settled: nothing more arrives once the last picture is shown and the prefetch is done.
  const size_t delivered = Log.size();
  ASSERT_TRUE(PumpUntil([&] { return !Loader.Busy(); }));
  EXPECT_EQ(Log.size(), delivered);
  EXPECT_LE(Loader.CachedBytes(), Budget);
}

}  // namespace
