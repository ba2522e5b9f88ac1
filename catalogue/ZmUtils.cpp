#include "catalogue/ZmUtils.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "catalogue/FormatSettings.h"

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

namespace {

// The general floating format with 3 significant digits: fixed notation while the integer part
// has at most 3 digits, scientific ("1E3") otherwise; no trailing zeros.
std::string General3(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2e", v);  // d.dde+XX, rounded to 3 significant digits
  const double rounded = std::strtod(buf, nullptr);
  int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  std::string out;
  if (rounded != 0 && (exponent >= 3 || std::fabs(rounded) < 0.00001)) {
    std::string mantissa(buf, std::strchr(buf, 'e'));
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
    out = mantissa + "E" + std::to_string(exponent);
  } else {
    std::snprintf(buf, sizeof buf, "%.*f", std::max(0, 2 - exponent), rounded);
    out = buf;
    if (out.find('.') != std::string::npos) {
      while (out.back() == '0') out.pop_back();
      if (out.back() == '.') out.pop_back();
    }
  }
  const size_t dot = out.find('.');
  if (dot != std::string::npos) out.replace(dot, 1, FormatSettings().DecimalSeparator);
  return out;
}

std::string GroupThousands(uint64_t v) {
  std::string digits = std::to_string(v);
  std::string out;
  const std::string& sep = FormatSettings().ThousandSeparator;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += sep;
    out += digits[i];
  }
  return out;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;  // a stray continuation or invalid byte counts as one character
}

}  // namespace

std::string SizeToText(int64_t n) {
  if (n < 0) return "2GB以上";
  if (n < 1000) return General3(double(n)) + " バイト";
  if (n < 1024000) return General3(double(n) / 1024) + " KB";
  if (n < 1048576000) return General3(double(n) / 1048576) + " MB";
  const double q = double(n) / 1073741824;
  if (q >= 1000) return General3(q / 1024) + " TB";
  return General3(q) + " GB";
}

std::string SizeToKBText(int64_t n) {
  const int64_t kb = n >= 0 ? n / 1024 + (n % 1024 != 0) : -((-n) / 1024);
  if (kb < 0) return "-" + GroupThousands(uint64_t(-kb)) + " KB";
  return GroupThousands(uint64_t(kb)) + " KB";
}

std::string AttrToText(uint32_t attr) {
  std::string s;
  if (attr & faReadOnly) s += 'R';
  if (attr & faHidden) s += 'H';
  if (attr & faSysFile) s += 'S';
  if (attr & faArchive) s += 'A';
  return s;
}

std::string DeleteFirstChar(std::string_view s) {
  if (s.empty()) return {};
  size_t n = SequenceLength(static_cast<unsigned char>(s[0]));
  size_t i = 1;
  while (i < n && i < s.size() && IsContinuation(static_cast<unsigned char>(s[i]))) ++i;
  return std::string(s.substr(i));
}

std::string DeleteLastChar(std::string_view s) {
  if (s.empty()) return {};
  size_t start = s.size() - 1;
  size_t back = 0;
  while (back < 3 && start > 0 && IsContinuation(static_cast<unsigned char>(s[start]))) --start, ++back;
  // Only a complete sequence is removed as one character; anything else loses its last byte.
  if (SequenceLength(static_cast<unsigned char>(s[start])) != back + 1) start = s.size() - 1;
  return std::string(s.substr(0, start));
}

std::string DeleteLowerPrefix(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] >= 'a' && s[i] <= 'z') ++i;
  return std::string(s.substr(i));
}

std::string ExtListToCommaText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '*') continue;
    out += c == ';' ? ',' : c;
  }
  return out;
}

std::vector<std::string> SplitCommaText(std::string_view s) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(',', start);
    if (comma == std::string_view::npos) comma = s.size();
    std::string part = TrimControl(s.substr(start, comma - start));
    if (!part.empty()) parts.push_back(std::move(part));
    start = comma + 1;
  }
  return parts;
}

namespace {
// Classic desktop colours by system colour index; the UI replaces them from its palette.
struct TSystemColors {
  std::array<std::atomic<TColor>, 31> Colors;
  TSystemColors() {
    for (auto& c : Colors) c = RGB(192, 192, 192);
    Colors[5] = RGB(255, 255, 255);   // window
    Colors[8] = RGB(0, 0, 0);         // window text
    Colors[15] = RGB(240, 240, 240);  // button face
    Colors[18] = RGB(0, 0, 0);        // button text
  }
};

std::array<std::atomic<TColor>, 31>& SystemColors() {
  static TSystemColors colors;
  return colors.Colors;
}
}  // namespace

TColor ColorToRGB(TColor c) {
  const uint32_t u = uint32_t(c);
  if ((u & 0xFF000000u) == 0xFF000000u) {
    const uint32_t index = u & 0xFFu;
    return index < SystemColors().size() ? SystemColors()[index].load() : RGB(0, 0, 0);
  }
  return TColor(u & 0x00FFFFFFu);
}

void SetSystemColor(int index, TColor rgb) {
  if (index >= 0 && size_t(index) < SystemColors().size()) SystemColors()[size_t(index)] = rgb & 0xFFFFFF;
}

TColor ContrastColor(TColor c) {
  const uint32_t rgb = uint32_t(ColorToRGB(c));
  const uint8_t r = uint8_t((rgb & 0xFF) + 128), g = uint8_t(((rgb >> 8) & 0xFF) + 128),
                b = uint8_t(((rgb >> 16) & 0xFF) + 128);
  return RGB(r, g, b);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

std::string LowerAsciiString(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) { return CompareTextAscii(a, b) == 0; }

int CompareTextAscii(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(LowerAscii(a[i]));
    const unsigned char y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::string TrimControl(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

namespace {

struct TCollatorDeleter {
  void operator()(UCollator* c) const { ucol_close(c); }
};

std::mutex CollatorMutex;
std::shared_ptr<UCollator> CurrentCollator;
std::atomic<unsigned> CollationGeneration{1};

// The locale whose collation orders names. The C and POSIX locales have no collation of their
// own: ICU reads the process default under them as en_US_POSIX, which puts every capital before
// every small letter, and falls back to the neutral root collation for the names "C" and
// "POSIX" that the user interface passes on. Both become root, so that every part of the
// program orders names alike whichever way it learnt the locale.
std::string CollationLocaleName() {
  const std::string& configured = FormatSettings().CollationLocale;
  const char* name = configured.empty() ? uloc_getDefault() : configured.c_str();
  char canonical[ULOC_FULLNAME_CAPACITY];
  UErrorCode status = U_ZERO_ERROR;
  uloc_canonicalize(name, canonical, sizeof canonical, &status);
  if (U_SUCCESS(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
    const std::string_view c = canonical;
    if (c == "c" || c == "posix" || c == "en_US_POSIX") return "root";
  }
  return name;
}

std::shared_ptr<UCollator> OpenCollator() {
  std::lock_guard lock(CollatorMutex);
  if (!CurrentCollator) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open(CollationLocaleName().c_str(), &status);
    if (U_FAILURE(status)) {
      status = U_ZERO_ERROR;
      c = ucol_open("", &status);
    }
    // Secondary strength: accents count, letter case does not.
    ucol_setStrength(c, UCOL_SECONDARY);
    CurrentCollator.reset(c, TCollatorDeleter());
  }
  return CurrentCollator;
}

// Each thread keeps a reference to the shared collator (ICU allows concurrent comparisons) and
// takes the lock only when the collation locale has changed.
UCollator* ThreadCollator() {
  thread_local std::shared_ptr<UCollator> collator;
  thread_local unsigned generation = 0;
  const unsigned current = CollationGeneration.load(std::memory_order_acquire);
  if (generation != current) {
    collator = OpenCollator();
    generation = current;
  }
  return collator.get();
}

int Collate(std::string_view a, std::string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r =
      ucol_strcollUTF8(ThreadCollator(), a.data(), int32_t(a.size()), b.data(), int32_t(b.size()), &status);
  if (U_FAILURE(status)) return CompareTextAscii(a, b);
  return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

}  // namespace

void ResetCollation() {
  std::lock_guard lock(CollatorMutex);
  CurrentCollator.reset();
  CollationGeneration.fetch_add(1, std::memory_order_release);
}

int CompareFileName(std::string_view a, std::string_view b) { return a == b ? 0 : Collate(a, b); }

int CompareText(std::string_view a, std::string_view b) { return a == b ? 0 : Collate(a, b); }

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string p(path);
  if (!p.empty() && p.back() != '/') p += '/';
  return p;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  std::string p(path);
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string_view ExtractFileName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view ExtractFilePath(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view ExtractFileExt(std::string_view path) {
  const std::string_view name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string TruncateUtf8(std::string_view s, size_t maxChars) {
  size_t i = 0, chars = 0;
  while (i < s.size() && chars < maxChars) {
    size_t n = SequenceLength(static_cast<unsigned char>(s[i]));
    size_t j = i + 1;
    while (j < i + n && j < s.size() && IsContinuation(static_cast<unsigned char>(s[j]))) ++j;
    i = j;
    ++chars;
  }
  return std::string(s.substr(0, i));
}

namespace {
// The length of the well-formed UTF-8 sequence at the start of `s` (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when there is none.
size_t ValidUtf8Length(const unsigned char* s, size_t n) {
  const unsigned char c = s[0];
  size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (n < len || s[1] < lo || s[1] > hi) return 0;
  for (size_t i = 2; i < len; ++i)
    if (!IsContinuation(s[i])) return 0;
  return len;
}
}  // namespace

void AppendEscapedField(std::string& out, std::string_view text) {
  static constexpr char Hex[] = "0123456789abcdef";
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    size_t plain = i;  // printable ASCII goes in runs: names are mostly that
    while (plain < n && s[plain] >= 0x20 && s[plain] < 0x7F && s[plain] != '\\') ++plain;
    out.append(text.data() + i, plain - i);
    if (plain == n) break;
    i = plain;
    const unsigned char c = s[i];
    if (c == '\\' || c == '\t' || c == '\n') {
      out += '\\';
      out += c == '\t' ? 't' : c == '\n' ? 'n' : '\\';
      ++i;
      continue;
    }
    const size_t len = c >= 0x80 ? ValidUtf8Length(s + i, n - i) : 0;
    const bool c1Control = len == 2 && c == 0xC2 && s[i + 1] <= 0x9F;
    if (len > 0 && !c1Control) {
      out.append(text.data() + i, len);
      i += len;
      continue;
    }
    // Both bytes of a C1 control; else the one byte that cannot start a character here.
    for (const size_t end = i + (c1Control ? 2 : 1); i < end; ++i) {
      out += "\\x";
      out += Hex[s[i] >> 4];
      out += Hex[s[i] & 15];
    }
  }
}
