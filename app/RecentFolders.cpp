#include "app/RecentFolders.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace {
// The list is a few hundred lines at most; a larger file is not ours.
constexpr uint64_t MaxRecentFileSize = 16ull << 20;
}  // namespace

TRecentFolders ParseRecentFolders(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TRecentFolders folders;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    folders.emplace_back(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  return folders;
}

TRecentFolders LoadRecentFolders(const std::string& fileName) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(fileName, MaxRecentFileSize, bytes, error)) return {};
  return ParseRecentFolders(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string RecentFoldersText(const TRecentFolders& folders) {
  std::string text;
  for (const std::string& f : folders) {
    text += f;
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
