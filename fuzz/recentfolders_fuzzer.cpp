// Feeds arbitrary bytes to the recent-folder file reader: no crash, and a list written out and
// read again comes back unchanged (a byte-order mark at the start of the file is dropped on
// reading, so a first entry that begins with another one is the one exception).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/RecentFolders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TRecentFolders folders = ParseRecentFolders(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const std::string& f : folders)
    if (f.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  const bool leadingMark = !folders.empty() && folders.front().starts_with("\xEF\xBB\xBF");
  if (!leadingMark && ParseRecentFolders(RecentFoldersText(folders)) != folders) __builtin_trap();
  return 0;
}
