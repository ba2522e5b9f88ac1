#include "catalogue/ZmFileInfo.h"

#include "jpeg/ZmJpegInfo.h"

namespace {
const std::shared_ptr<const std::string>& EmptyText() {
  static const auto empty = std::make_shared<const std::string>();
  return empty;
}
}  // namespace

TZmFileInfo::TZmFileInfo() : Path_(EmptyText()), TypeName_(EmptyText()) {}

std::shared_ptr<const std::string> TZmFileInfo::SharedText(std::string text) {
  return text.empty() ? EmptyText() : std::make_shared<const std::string>(std::move(text));
}

// Here, where TZmJpegInfo is complete, so that the owning pointer can free it.
TZmFileInfo::~TZmFileInfo() = default;

int32_t TZmFileInfo::JpegResult() const { return JpegInfo ? JpegInfo->Result : jrNotAnalyzed; }

void TZmFileInfo::SetJpegInfo(std::unique_ptr<TZmJpegInfo> info) {
  JpegInfo = std::move(info);
}

std::string TZmFileInfo::FullFileName() const { return Path() + SearchRec.Name; }

std::string TZmFileInfo::PathOnly() const {
  std::string_view p = Path();
  if (!p.empty() && p.back() == '/') p.remove_suffix(1);
  const size_t slash = p.rfind('/');
  return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}
