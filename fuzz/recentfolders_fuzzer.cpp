// Feeds arbitrary bytes to the recent-folder file reader: no crash, and a list written out and
// read again comes back unchanged, entries holding CR, LF or 0xFF included (a byte-order mark at
// the start of the file is dropped on reading, so a first entry that begins with another one is
// the one exception).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/RecentFolders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TRecentFolders folders = ParseRecentFolders(std::string_view(reinterpret_cast<const char*>(data), size));
  const bool leadingMark = !folders.empty() && folders.front().starts_with("\xEF\xBB\xBF");
  if (!leadingMark && ParseRecentFolders(RecentFoldersText(folders)) != folders) __builtin_trap();
  return 0;
}
