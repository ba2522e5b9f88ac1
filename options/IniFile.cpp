#include "options/IniFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "catalogue/FormatSettings.h"
#include "catalogue/ZmUtils.h"
#include "platform/FileSystem.h"

namespace {
// A settings file is a few kilobytes; a larger file is not read (and so never written over).
constexpr uint64_t MaxIniFileSize = 64ull << 20;

bool ParseHex(std::string_view digits, int32_t& value) {
  if (digits.empty() || digits.size() > 16) return false;
  uint64_t v = 0;
  for (char c : digits) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + uint64_t(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  value = int32_t(uint32_t(v));  // eight hex digits cover the negative numbers too
  return true;
}
}  // namespace

bool TryStrToInt(std::string_view s, int32_t& value) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return ParseHex(s.substr(2), value);
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (!s.empty() && s[0] == '$') {
    int32_t v;
    if (!ParseHex(s.substr(1), v)) return false;
    value = negative ? int32_t(0u - uint32_t(v)) : v;
    return true;
  }
  if (s.empty() || s.size() > 12) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = int32_t(v);
  return true;
}

bool TryStrToFloat(std::string_view s, double& value) {
  const std::string& sep = FormatSettings().DecimalSeparator;
  std::string text(s);
  if (sep != ".") {
    if (text.find('.') != std::string::npos) return false;
    const size_t at = text.find(sep);
    if (at != std::string::npos) text.replace(at, sep.size(), ".");
  }
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  double v;
  auto [ptr, ec] = std::from_chars(begin, end, v, std::chars_format::general);
  if (ec != std::errc() || ptr != end || !std::isfinite(v)) return false;
  value = v;
  return true;
}

std::string FloatToStr(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string s = buf;
  // Exponents as "1E-5", not "1e-05".
  const size_t e = s.find('e');
  if (e != std::string::npos) {
    std::string mantissa = s.substr(0, e);
    int exponent = std::atoi(s.c_str() + e + 1);
    s = mantissa + "E" + std::to_string(exponent);
  }
  const size_t dot = s.find('.');
  if (dot != std::string::npos) s.replace(dot, 1, FormatSettings().DecimalSeparator);
  return s;
}

TMemIniFile::TMemIniFile(std::string fileName) {
  std::vector<uint8_t> bytes;
  File_ = ReadSettingsFile(fileName, MaxIniFileSize, bytes);
  SetText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void TMemIniFile::SetText(std::string_view text) {
  Clear();
  // A byte-order mark from an editor would otherwise hide the first section header.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TSection* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = TrimControl(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;

    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      current = &AddSection(TrimControl(std::string_view(line).substr(1, line.size() - 2)));
      continue;
    }
    if (!current) continue;
    const size_t eq = line.find('=');
    TEntry entry;
    if (eq == std::string::npos) {
      entry = {line, {}, false};
    } else {
      entry = {TrimControl(std::string_view(line).substr(0, eq)), TrimControl(std::string_view(line).substr(eq + 1)),
               true};
      current->FirstEntry.try_emplace(LowerAsciiString(entry.Key), current->Entries.size());
    }
    current->Entries.push_back(std::move(entry));
  }
}

std::string TMemIniFile::Text() const {
  std::string out;
  for (const TSection& s : Sections_) {
    out += '[';
    out += s.Name;
    out += "]\r\n";
    for (const TEntry& e : s.Entries) {
      out += e.Key;
      if (e.HasValue) {
        out += '=';
        out += e.Value;
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

bool TMemIniFile::UpdateFile(std::string* error) const {
  if (File_.Path.empty()) {
    if (error) *error = "no file name";
    return false;
  }
  if (!File_.MayWrite()) {
    if (error) *error = File_.Path + ": could not be read, so it is left as it is";
    return false;
  }
  return WriteFileAtomic(File_.Path, Text(), error);
}

const TMemIniFile::TSection* TMemIniFile::FindSection(std::string_view section) const {
  auto it = FirstSection_.find(LowerAsciiString(section));
  return it == FirstSection_.end() ? nullptr : &Sections_[it->second];
}

TMemIniFile::TSection& TMemIniFile::AddSection(std::string_view name) {
  Sections_.push_back({std::string(name), {}, {}});
  FirstSection_.try_emplace(LowerAsciiString(name), Sections_.size() - 1);
  return Sections_.back();
}

const TMemIniFile::TEntry* TMemIniFile::FindEntry(const TSection& s, std::string_view ident) {
  auto it = s.FirstEntry.find(LowerAsciiString(ident));
  return it == s.FirstEntry.end() ? nullptr : &s.Entries[it->second];
}

std::string TMemIniFile::ReadString(std::string_view section, std::string_view ident, std::string_view def) const {
  const TSection* s = FindSection(section);
  const TEntry* e = s ? FindEntry(*s, ident) : nullptr;
  return e ? e->Value : std::string(def);
}

int32_t TMemIniFile::ReadInteger(std::string_view section, std::string_view ident, int32_t def) const {
  int32_t v;
  return TryStrToInt(ReadString(section, ident, ""), v) ? v : def;
}

bool TMemIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

double TMemIniFile::ReadFloat(std::string_view section, std::string_view ident, double def) const {
  const std::string s = ReadString(section, ident, "");
  double v;
  return !s.empty() && TryStrToFloat(s, v) ? v : def;
}

void TMemIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  auto it = FirstSection_.find(LowerAsciiString(section));
  TSection& s = it == FirstSection_.end() ? AddSection(section) : Sections_[it->second];
  const std::string key = LowerAsciiString(ident);
  auto e = s.FirstEntry.find(key);
  if (e != s.FirstEntry.end()) {
    s.Entries[e->second] = {std::string(ident), std::string(value), true};
    return;
  }
  s.FirstEntry.emplace(key, s.Entries.size());
  s.Entries.push_back({std::string(ident), std::string(value), true});
}

void TMemIniFile::WriteInteger(std::string_view section, std::string_view ident, int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

void TMemIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TMemIniFile::WriteFloat(std::string_view section, std::string_view ident, double value) {
  WriteString(section, ident, FloatToStr(value));
}

bool TMemIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TMemIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  const TSection* s = FindSection(section);
  return s && FindEntry(*s, ident);
}

std::vector<std::string> TMemIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const TSection& s : Sections_) names.push_back(s.Name);
  return names;
}

void TMemIniFile::EraseSection(std::string_view section) {
  const std::string key = LowerAsciiString(section);
  std::erase_if(Sections_, [&](const TSection& s) { return LowerAsciiString(s.Name) == key; });
  RebuildSectionIndex();
}

void TMemIniFile::Clear() {
  Sections_.clear();
  FirstSection_.clear();
}

void TMemIniFile::RebuildSectionIndex() {
  FirstSection_.clear();
  for (size_t i = 0; i < Sections_.size(); ++i) FirstSection_.try_emplace(LowerAsciiString(Sections_[i].Name), i);
}
