#include "app/FileListTexts.h"

#include <cstdio>
#include <ctime>

#include "catalogue/FormatSettings.h"
#include "catalogue/ZmFileInfoListTypes.h"
#include "catalogue/ZmUtils.h"
#include "jpeg/ZmJpegInfoConsts.h"

std::string FormatCount(int64_t n) {
  const bool negative = n < 0;
  const std::string digits = std::to_string(negative ? -(n + 1) + 1ull : uint64_t(n));
  const std::string& sep = FormatSettings().ThousandSeparator;
  std::string out = negative ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += sep;
    out += digits[i];
  }
  return out;
}

std::string FileTimeToText(TFileTime t) {
  const time_t seconds = time_t(UnixSecondsFromFileTime(t));
  tm local{};
  if (!localtime_r(&seconds, &local)) return {};
  const TLocalDateTime dt{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                          local.tm_hour,        local.tm_min,     local.tm_sec};
  const TFormatSettings& fs = FormatSettings();
  char buf[64];
  std::string text;
  if (fs.FormatShortDate) {
    text = fs.FormatShortDate(dt);
  } else {
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", dt.Year, dt.Month, dt.Day);
    text = buf;
  }
  if (dt.Hour == 0 && dt.Minute == 0 && dt.Second == 0) return text;
  text += ' ';
  if (fs.FormatLongTime) {
    text += fs.FormatLongTime(dt);
  } else {
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", dt.Hour, dt.Minute, dt.Second);
    text += buf;
  }
  return text;
}

std::string FileListCellText(const TZmFileInfo& r, int kind) {
  const TSearchRec& s = r.SearchRec;
  switch (kind) {
    case smName: return s.Name;
    case smFullFileName: return r.FullFileName();
    case smPath: return r.Path();
    case smPathOnly: return r.PathOnly();
    case smFindIndex: return FormatCount(r.FindIndex);
    case smSize: return SizeToKBText(s.Size);
    case smSizeDetail: return FormatCount(s.Size);
    case smTypeName: return r.TypeName();
    case smLastWriteTime: return FileTimeToText(s.ftLastWriteTime);
    case smAttr: return AttrToText(s.Attr);
    case smCreationTime: return FileTimeToText(s.ftCreationTime);
    case smLastAccessTime: return FileTimeToText(s.ftLastAccessTime);
    case smJpegResult: return JpegResultText(r.JpegResult());
    default: return {};
  }
}

std::string SelectionCountText(int64_t selected) { return FormatCount(selected) + " 個のオブジェクトを選択"; }

std::string PositionText(int64_t focused, int64_t count) {
  return FormatCount(focused + 1) + " / " + FormatCount(count);
}

std::string ObjectCountText(int64_t count) { return FormatCount(count) + " 個のオブジェクト"; }
