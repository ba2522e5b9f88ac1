#include "app/RecentFolders.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace {
// Real lists hold hundreds of folders. The limits only keep a file that is no list (a million
// empty lines would take far more memory than their bytes) from being read; such a file is then
// not written over either.
constexpr uint64_t MaxRecentFileSize = 64ull << 20;
constexpr size_t MaxRecentEntries = 1000000;

constexpr char Escape = '\xFF';

std::string DecodeLine(std::string_view line) {
  std::string path;
  path.reserve(line.size());
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == Escape && i + 1 < line.size()) {
      const char next = line[i + 1];
      if (next == Escape || next == 'r' || next == 'n') {
        c = next == 'r' ? '\r' : next == 'n' ? '\n' : Escape;
        ++i;
      }
    }
    path += c;
  }
  return path;
}

void AppendEncoded(std::string& out, std::string_view path) {
  for (char c : path) {
    if (c == '\r' || c == '\n' || c == Escape) {
      out += Escape;
      c = c == '\r' ? 'r' : c == '\n' ? 'n' : Escape;
    }
    out += c;
  }
}
}  // namespace

TRecentFolders ParseRecentFolders(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TRecentFolders folders;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    folders.push_back(DecodeLine(text.substr(pos, end - pos)));
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  return folders;
}

TRecentFolders LoadRecentFolders(const std::string& fileName, TSettingsFileStatus* status) {
  std::vector<uint8_t> bytes;
  TSettingsFileStatus file = ReadSettingsFile(fileName, MaxRecentFileSize, bytes);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // A line end is one or two bytes.
  if (size_t(std::count_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; })) >
      2 * MaxRecentEntries)
    file.State = TSettingsFileStatus::Unreadable;
  if (status) *status = file;
  if (file.State != TSettingsFileStatus::Read) return {};
  return ParseRecentFolders(text);
}

std::string RecentFoldersText(const TRecentFolders& folders) {
  std::string text;
  for (const std::string& f : folders) {
    AppendEncoded(text, f);
    text += "\r\n";
  }
  return text;
}

bool SaveRecentFolders(const std::string& fileName, const TRecentFolders& folders, std::string* error) {
  return WriteFileAtomic(fileName, RecentFoldersText(folders), error);
}

void RecordRecentFolder(TRecentFolders& folders, const std::string& folder) {
  auto it = std::find(folders.begin(), folders.end(), folder);
  if (it != folders.end()) folders.erase(it);
  if (!folder.empty()) folders.insert(folders.begin(), folder);
}
