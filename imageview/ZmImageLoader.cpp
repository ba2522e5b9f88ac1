#include "imageview/ZmImageLoader.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include "imageview/ZmGraphicExTypes.h"

// The worker: one decode. Only the worker touches Result and Stamp until its end event, where the
// user-interface thread takes them over.
class TZmImageLoadThread : public TThread {
 public:
  TZmImageLoadThread(std::string path, const TDecodeHint& hint, TZmImageLoader::TDecoder decoder, bool prefetch,
                     uint32_t generation)
      : Path(std::move(path)), Hint(hint), Prefetch(prefetch), Generation(generation), Decoder_(std::move(decoder)) {}

  const std::string Path;
  const TDecodeHint Hint;
  const bool Prefetch;
  const uint32_t Generation;
  std::optional<TDecodeResult> Result;
  // Taken before reading, so that a change while the file is read shows at the next request.
  std::optional<TZmImageLoader::TFileStamp> Stamp;

 protected:
  void Execute() override {
    Stamp = TZmImageLoader::StampOf(Path);
    try {
      Result = Decoder_ ? Decoder_(Path, Hint) : LoadPicture(Path, Hint);
    } catch (const std::bad_alloc&) {
      Result = TDecodeResult::Fail(TDecodeErrorKind::deOutOfMemory, "out of memory while decoding");
    } catch (const std::exception& e) {
      Result = TDecodeResult::Fail(TDecodeErrorKind::deCorrupt, e.what());
    }
  }

 private:
  const TZmImageLoader::TDecoder Decoder_;
};

TZmImageLoader::~TZmImageLoader() {
  OnLoaded = nullptr;
  Requested_.reset();
  Prefetch_.clear();
  Workers_.Stop();
}

void TZmImageLoader::Request(const std::string& path, const TDecodeHint& hint) {
  Requested_.reset();
  if (const TCacheEntry* hit = FindCached(path, hint))
    Deliver(path, hit->Image);
  else
    Requested_ = TRequest{path, hint};
  StartNext();
}

void TZmImageLoader::Cancel() { Requested_.reset(); }

void TZmImageLoader::Prefetch(std::vector<std::string> paths) {
  Prefetch_ = std::move(paths);
  StartNext();
}

void TZmImageLoader::ClearCache() {
  Cache_.clear();
  CachedBytes_ = 0;
  Prefetch_.clear();
  ++Generation_;
}

void TZmImageLoader::SetCacheBudget(uint64_t bytes) {
  CacheBudget_ = bytes;
  EvictAbove(bytes);
}

std::optional<TZmImageLoader::TFileStamp> TZmImageLoader::StampOf(const std::string& path) {
  TDirEntryFacts facts;
  if (!GetPathFacts(path, facts) || (facts.Attr & (faDirectory | faSysFile))) return std::nullopt;
  return TFileStamp{facts.Size, facts.LastWriteTime};
}

uint64_t TZmImageLoader::BytesOf(const TBitmap32& bitmap) {
  return uint64_t(bitmap.Width()) * uint64_t(bitmap.Height()) * sizeof(TColor32);
}

void TZmImageLoader::Forget(const std::string& path) {
  const auto it = std::find_if(Cache_.begin(), Cache_.end(), [&](const TCacheEntry& e) { return e.Path == path; });
  if (it == Cache_.end()) return;
  CachedBytes_ -= BytesOf(*it->Image.Bitmap);
  Cache_.erase(it);
}

bool TZmImageLoader::Serves(const TZmLoadedImage& image, const TDecodeHint& hint) {
  // A failure serves any request: a reduced decode refuses exactly what a full one does.
  return !image.Reduced() || hint.Covers(image.Bitmap->Width(), image.Bitmap->Height());
}

const TZmImageLoader::TCacheEntry* TZmImageLoader::FindCached(const std::string& path, const TDecodeHint& hint) {
  const auto it = std::find_if(Cache_.begin(), Cache_.end(), [&](const TCacheEntry& e) { return e.Path == path; });
  if (it == Cache_.end()) return nullptr;
  if (StampOf(path) != it->Stamp) {
    Forget(path);
    return nullptr;
  }
  if (!Serves(it->Image, hint)) return nullptr;
  Cache_.splice(Cache_.begin(), Cache_, it);
  return &Cache_.front();
}

void TZmImageLoader::Store(const std::string& path, const TFileStamp& stamp, const TZmLoadedImage& image) {
  Forget(path);
  const uint64_t bytes = BytesOf(*image.Bitmap);
  if (bytes > CacheBudget_) return;  // would empty the cache and still not fit
  EvictAbove(CacheBudget_ - bytes);
  Cache_.push_front({path, stamp, image});
  CachedBytes_ += bytes;
}

void TZmImageLoader::EvictAbove(uint64_t bytes) {
  while (CachedBytes_ > bytes && !Cache_.empty()) {
    CachedBytes_ -= BytesOf(*Cache_.back().Image.Bitmap);
    Cache_.pop_back();
  }
}

void TZmImageLoader::StartNext() {
  // One decode at a time: a request waits for the running decode to end (see WorkerEnded).
  // A running decode of the requested path (a prefetch, or an older request of it) is taken over
  // there if it serves the request; any other keeps running, as LoadPicture cannot be interrupted.
  if (Workers_.Running()) return;
  if (Requested_) {
    StartDecode(Requested_->Path, Requested_->Hint, false);
    return;
  }
  while (!Prefetch_.empty()) {
    const std::string path = std::move(Prefetch_.front());
    Prefetch_.erase(Prefetch_.begin());
    if (!FindCached(path, {})) {
      StartDecode(path, {}, true);
      return;
    }
  }
}

void TZmImageLoader::StartDecode(const std::string& path, const TDecodeHint& hint, bool prefetch) {
  auto worker = std::make_unique<TZmImageLoadThread>(path, hint, Decoder, prefetch, Generation_);
  // Neighbours are decoded only with time no one else wants.
  worker->Priority = prefetch ? TThreadPriority::tpLowest : TThreadPriority::tpNormal;
  Workers_.Start(std::move(worker), [this](TThread& t) { WorkerEnded(static_cast<TZmImageLoadThread&>(t)); });
}

void TZmImageLoader::WorkerEnded(TZmImageLoadThread& worker) {
  if (!worker.Result) {
    StartNext();
    return;
  }
  TDecodeResult& result = *worker.Result;
  TZmLoadedImage image;
  image.Partial = result.Partial();
  image.FullWidth = result.FullWidth();
  image.FullHeight = result.FullHeight();
  if (result.Ok()) image.Bitmap = std::make_shared<const TBitmap32>(result.TakeBitmap());
  else image.Error = result.Error();
  const bool requested = Requested_ && Requested_->Path == worker.Path && Serves(image, Requested_->Hint);
  if (requested || (worker.Prefetch && worker.Generation == Generation_)) {
    if (image.Ok() && worker.Stamp) Store(worker.Path, *worker.Stamp, image);
    if (requested) {
      Requested_.reset();
      Deliver(worker.Path, image);
    }
  }
  StartNext();
}

void TZmImageLoader::Deliver(const std::string& path, const TZmLoadedImage& image) {
  if (!OnLoaded) return;
  const auto handler = OnLoaded;  // the handler may replace itself
  handler(path, image);
}
