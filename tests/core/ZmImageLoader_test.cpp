// The image loader over small picture files: delivery on the user-interface thread, cancelling,
// failures, the memory-bounded cache and its invalidation, prefetch, and destruction mid-decode.
#include "imageview/ZmImageLoader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imageview/ZmGraphicExTypes.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (!done() && std::chrono::steady_clock::now() < deadline) CheckSynchronize(5);
  return done();
}

class ImageLoaderTest : public ::testing::Test {
 protected:
  struct TDelivery {
    std::string Name;
    TZmLoadedImage Image;
  };

  void SetUp() override {
    Loader.Decoder = [this](const std::string& path, const TDecodeHint& hint) { return CountedDecode(path, hint); };
    Loader.OnLoaded = [this](const std::string& path, const TZmLoadedImage& image) {
      EXPECT_TRUE(IsMainThread());
      Loaded.push_back({NameOf(path), image});
    };
  }
  void TearDown() override {
    Hold = false;
    EXPECT_LE(MaxActive.load(), 1) << "two decodes ran at once";
  }

  // LoadPicture, counted; held at its start while Hold is set.
  TDecodeResult CountedDecode(const std::string& path, const TDecodeHint& hint) {
    const int active = ++Active;
    for (int seen = MaxActive; active > seen && !MaxActive.compare_exchange_weak(seen, active);) {
    }
    {
      const std::lock_guard<std::mutex> lock(Mutex);
      Decoded.push_back(NameOf(path));
    }
    ++Entered;
    while (Hold) std::this_thread::sleep_for(1ms);
    TDecodeResult result = LoadPicture(path, hint);
    --Active;
    return result;
  }
  std::vector<std::string> DecodedNames() {
    const std::lock_guard<std::mutex> lock(Mutex);
    return Decoded;
  }
  std::string NameOf(const std::string& path) const { return path.substr(Dir.Path().size()); }
  // A grey PGM picture of width x height.
  std::string Picture(const std::string& name, int width, int height, uint8_t grey = 100) {
    std::string text = "P5 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
    text.append(size_t(width) * size_t(height), char(grey));
    return Dir.File(name, text);
  }
  // Requests `path` and waits for its delivery.
  const TZmLoadedImage& Load(const std::string& path, const TDecodeHint& hint = {}) {
    const size_t before = Loaded.size();
    Loader.Request(path, hint);
    EXPECT_TRUE(PumpUntil([&] { return Loaded.size() > before && !Loader.Busy(); }));
    return Loaded.back().Image;
  }

  TTempDir Dir;
  TZmImageLoader Loader;
  std::vector<TDelivery> Loaded;
  std::mutex Mutex;
  std::vector<std::string> Decoded;
  std::atomic<bool> Hold{false};
  std::atomic<int> Entered{0};
  std::atomic<int> Active{0};
  std::atomic<int> MaxActive{0};
};

TEST_F(ImageLoaderTest, RequestDeliversThePicture) {
  const std::string path = Picture("a.pgm", 3, 2, 100);
  Loader.Request(path);
  EXPECT_TRUE(Loaded.empty()) << "a decode is never delivered inside Request";
  ASSERT_TRUE(PumpUntil([&] { return !Loaded.empty(); }));
  ASSERT_EQ(Loaded.size(), 1u);
  const TZmLoadedImage& image = Loaded[0].Image;
  EXPECT_EQ(Loaded[0].Name, "a.pgm");
  ASSERT_TRUE(image.Ok());
  EXPECT_EQ(image.Bitmap->Width(), 3);
  EXPECT_EQ(image.Bitmap->Height(), 2);
  EXPECT_EQ(image.Bitmap->Pixel(2, 1), Color32(255, 100, 100, 100));
}

TEST_F(ImageLoaderTest, NewerRequestCancelsOlder) {
  // While a.pgm decodes, more requests arrive; only the last is delivered, and a request replaced
  // before its turn is never decoded. A request for the running path takes that decode over.
  // Cancelling ("") drops the waiting request.
  struct TCase {
    std::vector<std::string> Then;
    std::string Delivered;  // "": nothing
    std::vector<std::string> Decodes;
  };
  const TCase cases[] = {
      {{"b.pgm", "c.pgm"}, "c.pgm", {"a.pgm", "c.pgm"}},
      {{"b.pgm", "a.pgm"}, "a.pgm", {"a.pgm"}},
      {{"b.pgm", ""}, "", {"a.pgm"}},
      {{"", "b.pgm"}, "b.pgm", {"a.pgm", "b.pgm"}},
  };
  for (const char* name : {"a.pgm", "b.pgm", "c.pgm"}) Picture(name, 4, 4);
  for (const TCase& c : cases) {
    Loader.ClearCache();
    Loaded.clear();
    Decoded.clear();
    Entered = 0;
    Hold = true;
    Loader.Request(Dir.Path() + "a.pgm");
    ASSERT_TRUE(PumpUntil([&] { return Entered == 1; }));
    for (const std::string& name : c.Then) name.empty() ? Loader.Cancel() : Loader.Request(Dir.Path() + name);
    Hold = false;
    ASSERT_TRUE(PumpUntil([&] { return !Loader.Busy(); }));
    ASSERT_EQ(Loaded.size(), c.Delivered.empty() ? 0u : 1u) << c.Delivered;
    if (!Loaded.empty()) {
      EXPECT_EQ(Loaded[0].Name, c.Delivered);
      EXPECT_TRUE(Loaded[0].Image.Ok());
    }
    EXPECT_EQ(DecodedNames(), c.Decodes);
  }
}

TEST_F(ImageLoaderTest, FailuresAreDeliveredAsFailuresWithoutBlocking) {
  struct TCase {
    const char* Name;
    std::function<std::string()> Make;
    TDecodeErrorKind Kind;
  };
  const TCase cases[] = {
      {"text.png", [this] { return Dir.File("text.png", "no picture here at all"); },
       TDecodeErrorKind::deCorrupt},
      {"cut.pgm", [this] { return Dir.File("cut.pgm", "P5 100 100 255\n0123456789"); },
       TDecodeErrorKind::deTruncated},
      {"x.jpg (FIFO)",
       [this] {
         const std::string path = Dir.Path() + "x.jpg";
         EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
         return path;
       },
       TDecodeErrorKind::deReadError},
      {"vanished.pgm",
       [this] {
         const std::string path = Picture("vanished.pgm", 2, 2);
         std::filesystem::remove(path);
         return path;
       },
       TDecodeErrorKind::deReadError},
  };
  for (const TCase& c : cases) {
    const std::string path = c.Make();
    for (int attempt = 0; attempt < 2; ++attempt) {  // failures are not cached: each is decoded again
      const size_t decodes = DecodedNames().size();
      const TZmLoadedImage& image = Load(path);
      EXPECT_FALSE(image.Ok()) << c.Name;
      EXPECT_EQ(image.Error.Kind, c.Kind) << c.Name << ": " << image.Error.Message;
      EXPECT_EQ(DecodedNames().size(), decodes + 1) << c.Name;
    }
  }
}

TEST_F(ImageLoaderTest, CacheHoldsItsBudgetAndHitsNeedNoDecode) {
  const std::string a = Picture("a.pgm", 10, 10), b = Picture("b.pgm", 10, 10);  // 400 bytes each
  Loader.SetCacheBudget(600);
  Load(a);
  const std::shared_ptr<const TBitmap32> shown = Load(b).Bitmap;
  EXPECT_EQ(Loader.CachedBytes(), 400u);

  Loader.Request(b);  // a hit: delivered at once, the very same pixels
  ASSERT_EQ(Loaded.size(), 3u);
  EXPECT_EQ(Loaded.back().Image.Bitmap, shown);
  EXPECT_FALSE(Loader.Busy());

  Loader.Request(a);  // evicted: decoded again
  EXPECT_EQ(Loaded.size(), 3u);
  ASSERT_TRUE(PumpUntil([&] { return Loaded.size() == 4 && !Loader.Busy(); }));
  EXPECT_EQ(DecodedNames(), (std::vector<std::string>{"a.pgm", "b.pgm", "a.pgm"}));
  EXPECT_LE(Loader.CachedBytes(), Loader.CacheBudget());

  Loader.SetCacheBudget(100);  // smaller than any picture: nothing stays, nothing is kept
  EXPECT_EQ(Loader.CachedBytes(), 0u);
  Load(b);
  EXPECT_EQ(Loader.CachedBytes(), 0u);
}

TEST_F(ImageLoaderTest, ClearedCacheAndChangedFilesDecodeAgain) {
  const std::string path = Picture("a.pgm", 4, 4);
  struct TCase {
    const char* What;
    std::function<void()> Change;
    int Width;  // of the picture decoded again; -1: a cache hit
  };
  const TCase cases[] = {
      {"nothing", [] {}, -1},
      {"cache cleared", [&] { Loader.ClearCache(); }, 4},
      {"size changed", [&] { Picture("a.pgm", 5, 4); }, 5},
      {"time changed",
       [&] {
         Picture("a.pgm", 4, 5);  // same size in bytes as 5 x 4
         std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - 1h);
       },
       4},
  };
  Load(path);
  for (const TCase& c : cases) {
    c.Change();
    const size_t decodes = DecodedNames().size();
    const size_t delivered = Loaded.size();
    Loader.Request(path);
    const bool hit = Loaded.size() > delivered;
    EXPECT_EQ(hit, c.Width < 0) << c.What;
    if (!hit) {
      ASSERT_TRUE(PumpUntil([&] { return Loaded.size() > delivered && !Loader.Busy(); })) << c.What;
      EXPECT_EQ(DecodedNames().size(), decodes + 1) << c.What;
      ASSERT_TRUE(Loaded.back().Image.Ok()) << c.What;
      EXPECT_EQ(Loaded.back().Image.Bitmap->Width(), c.Width) << c.What;
    }
  }
}

// A JPEG requested with a box comes reduced, with its real size. The cache serves a request for
// the full picture only with the full picture; a box takes any entry that covers it.
TEST_F(ImageLoaderTest, ReducedPicturesServeOnlyRequestsTheyCover) {
  const std::string path = Dir.Path() + "a.jpg";
  WriteBytes(path, ReadBytes(TestDataPath("jpeg/ycc420-baseline.jpg")));  // 61 x 47
  struct TCase {
    TDecodeHint Hint;
    bool Hit;
    int Width;
  };
  const TCase cases[] = {
      {{8, 6}, false, 8},     {{8, 6}, true, 8},  // 1/8, then from the cache
      {{20, 100}, false, 23},                     // 8 x 6 does not cover it: 3/8
      {{}, false, 61},                            // the full picture is never a reduced one
      {{20, 100}, true, 61}, {{}, true, 61},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Hint.FitWidth) + "x" + std::to_string(c.Hint.FitHeight));
    const size_t decodes = DecodedNames().size();
    const TZmLoadedImage& image = Load(path, c.Hint);
    EXPECT_EQ(DecodedNames().size(), decodes + (c.Hit ? 0 : 1));
    ASSERT_TRUE(image.Ok());
    EXPECT_EQ(image.Bitmap->Width(), c.Width);
    EXPECT_EQ(image.FullWidth, 61);
    EXPECT_EQ(image.FullHeight, 47);
  }

  // A running reduced decode is not taken over by a request for the full picture.
  Loader.ClearCache();
  Loaded.clear();
  Entered = 0;
  Hold = true;
  Loader.Request(path, {8, 6});
  ASSERT_TRUE(PumpUntil([&] { return Entered == 1; }));
  Loader.Request(path);
  Hold = false;
  ASSERT_TRUE(PumpUntil([&] { return Entered == 2 && !Loader.Busy(); }));
  ASSERT_EQ(Loaded.size(), 1u);
  EXPECT_EQ(Loaded[0].Image.Bitmap->Width(), 61);
}

TEST_F(ImageLoaderTest, PrefetchWaitsForRequestsThenFillsTheCache) {
  for (const char* name : {"a.pgm", "b.pgm", "c.pgm", "d.pgm"}) Picture(name, 4, 4);
  Hold = true;
  Loader.Request(Dir.Path() + "a.pgm");
  ASSERT_TRUE(PumpUntil([&] { return Entered == 1; }));
  Loader.Prefetch({Dir.Path() + "b.pgm", Dir.Path() + "c.pgm"});
  Loader.Request(Dir.Path() + "d.pgm");
  Hold = false;
  ASSERT_TRUE(PumpUntil([&] { return DecodedNames().size() == 4 && !Loader.Busy(); }));
  ASSERT_TRUE(PumpUntil([&] { return Loader.CachedBytes() == 3 * 64; }));
  EXPECT_EQ(DecodedNames(), (std::vector<std::string>{"a.pgm", "d.pgm", "b.pgm", "c.pgm"}));
  ASSERT_EQ(Loaded.size(), 1u);
  EXPECT_EQ(Loaded[0].Name, "d.pgm");

  Loader.Request(Dir.Path() + "c.pgm");  // prefetched: delivered at once
  ASSERT_EQ(Loaded.size(), 2u);
  EXPECT_EQ(Loaded[1].Name, "c.pgm");
  EXPECT_EQ(DecodedNames().size(), 4u);
}

TEST_F(ImageLoaderTest, DestroyingTheLoaderWhileADecodeRunsIsSafe) {
  const std::string path = Picture("a.pgm", 64, 64);
  int delivered = 0;
  auto loader = std::make_unique<TZmImageLoader>();
  loader->OnLoaded = [&](const std::string&, const TZmLoadedImage&) { ++delivered; };
  loader->Decoder = [this](const std::string& p, const TDecodeHint&) {
    ++Entered;
    std::this_thread::sleep_for(20ms);  // still decoding when the loader goes
    return LoadPicture(p);
  };
  loader->Request(path);
  while (Entered == 0) std::this_thread::yield();
  loader.reset();
  for (int i = 0; i < 3; ++i) CheckSynchronize(1);
  EXPECT_EQ(delivered, 0);
}

}  // namespace
