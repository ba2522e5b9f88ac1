// TZmImageLoader: loads pictures for a view without ever blocking the user-interface thread.
//
// Pictures are decoded on a worker (LoadPicture unless replaced), one decode at a time, and handed
// over in the worker's end event on the user-interface thread. Only the latest request is
// delivered: a newer one cancels an older one. LoadPicture cannot be interrupted, so a cancelled
// decode runs to its end, its result is dropped, and the newer request starts right after it.
//
// Decoded bitmaps are kept in a cache bounded by CacheBudget() bytes, least recently used first
// out, keyed by path and checked against the file's size and modification time, so a changed file
// is decoded again. Entries are shared with the receiver: a cache hit copies no pixels. Failures
// are never cached. Prefetch decodes neighbours into the cache while no request waits.
//
// A request may carry a box to fit the picture into (TDecodeHint): a JPEG is then decoded at a
// reduced scale. The cache knows at what size it holds each picture: a request for the full
// picture is never served by a reduced one, while a reduced request may take the full picture or
// a reduced one that still covers its box.
//
// Thread rules: every member is used on the user-interface thread; OnLoaded runs there. Request,
// Prefetch and ClearCache may be called from inside OnLoaded. Never destroy the loader from
// inside OnLoaded.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "decoders/DecodeResult.h"
#include "platform/FileSystem.h"
#include "platform/WorkerSlot.h"

class TZmImageLoadThread;

// A picture as delivered: a shared bitmap, or the error that kept it from loading.
struct TZmLoadedImage {
  std::shared_ptr<const TBitmap32> Bitmap;  // null on failure
  TDecodeError Error;                       // why it failed, when Bitmap is null
  bool Partial = false;                     // the file ended early; the part it held is shown
  int FullWidth = 0, FullHeight = 0;        // the picture's real size, also when Bitmap is reduced

  bool Ok() const { return Bitmap != nullptr; }
  bool Reduced() const { return Bitmap && (Bitmap->Width() != FullWidth || Bitmap->Height() != FullHeight); }
};

class TZmImageLoader {
 public:
  // Room for the shown picture and two full-size 24-megapixel neighbours.
  static constexpr uint64_t DefaultCacheBudgetBytes = 3ull * 6000 * 4000 * sizeof(TColor32);

  using TDecoder = std::function<TDecodeResult(const std::string& path, const TDecodeHint& hint)>;

  TZmImageLoader() = default;
  // Drops every pending delivery and waits for a running decode to end (it cannot be interrupted).
  ~TZmImageLoader();
  TZmImageLoader(const TZmImageLoader&) = delete;
  TZmImageLoader& operator=(const TZmImageLoader&) = delete;

  // Loads `path` and delivers it through OnLoaded, cancelling the request before. A picture in the
  // cache whose file is unchanged is delivered synchronously, before Request returns, with no
  // decode; otherwise it is delivered from a later CheckSynchronize. A decode of the same path
  // that is already running (a prefetch) is taken over rather than started again when it serves
  // `hint`.
  void Request(const std::string& path, const TDecodeHint& hint = {});
  // Drops the waiting request: nothing is delivered until the next one. A running decode ends in
  // the background.
  void Cancel();
  // Decodes `paths` into the cache, in this order, whenever no request waits; replaces the paths of
  // an earlier call. Paths already cached are skipped. Pass no more than the budget holds.
  void Prefetch(std::vector<std::string> paths);
  // Forgets every cached picture and pending prefetch (the list has changed). A waiting request
  // is still delivered.
  void ClearCache();

  uint64_t CacheBudget() const { return CacheBudget_; }
  // Sets the budget and evicts the least recently used pictures above it.
  void SetCacheBudget(uint64_t bytes);
  uint64_t CachedBytes() const { return CachedBytes_; }
  // A decode runs, or a request waits for one.
  bool Busy() const { return Workers_.Running() != nullptr || Requested_.has_value(); }

  // The requested picture, or why it could not be loaded. Raised for the latest request only.
  std::function<void(const std::string& path, const TZmLoadedImage& image)> OnLoaded;
  // How a file becomes a bitmap; LoadPicture when empty. Runs on the worker. Read at each decode.
  // Prefetches ask for the full picture.
  TDecoder Decoder;

 private:
  struct TFileStamp {
    int64_t Size = 0;
    TFileTime LastWriteTime = 0;
    bool operator==(const TFileStamp&) const = default;
  };
  struct TCacheEntry {
    std::string Path;
    TFileStamp Stamp;
    TZmLoadedImage Image;  // always a picture
  };
  struct TRequest {
    std::string Path;
    TDecodeHint Hint;
  };

  // The stamp of a regular file; none when it is missing or not a regular file. Any thread.
  static std::optional<TFileStamp> StampOf(const std::string& path);
  static uint64_t BytesOf(const TBitmap32& bitmap);
  // Whether `image` is what a request with `hint` asks for.
  static bool Serves(const TZmLoadedImage& image, const TDecodeHint& hint);
  // The cached entry of `path` if its file is unchanged and it serves `hint`, moved to the front;
  // else nullptr.
  const TCacheEntry* FindCached(const std::string& path, const TDecodeHint& hint);
  void Forget(const std::string& path);
  void Store(const std::string& path, const TFileStamp& stamp, const TZmLoadedImage& image);
  void EvictAbove(uint64_t bytes);
  void StartNext();
  void StartDecode(const std::string& path, const TDecodeHint& hint, bool prefetch);
  void WorkerEnded(TZmImageLoadThread& worker);
  void Deliver(const std::string& path, const TZmLoadedImage& image);

  std::optional<TRequest> Requested_;     // the request still to deliver
  std::vector<std::string> Prefetch_;     // paths still to prefetch, first one next
  uint32_t Generation_ = 0;               // counts ClearCache calls: older prefetches are not kept
  std::list<TCacheEntry> Cache_;          // most recently used first
  uint64_t CachedBytes_ = 0;
  uint64_t CacheBudget_ = DefaultCacheBudgetBytes;
  TWorkerSlot Workers_;

  friend class TZmImageLoadThread;
};
