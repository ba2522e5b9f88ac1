// The recent-folder list ("folder.txt"): the folders a slideshow or a check was started from,
// most recent first. UTF-8, one entry per line, CR LF after every entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

using TRecentFolders = std::vector<std::string>;

// Reads the file; a line ends at CR, LF or CR LF, an empty line is an empty entry and a final
// line end adds none. A missing or unreadable file gives an empty list.
TRecentFolders LoadRecentFolders(const std::string& fileName);
TRecentFolders ParseRecentFolders(std::string_view text);
std::string RecentFoldersText(const TRecentFolders& folders);
// Replaces the file atomically; false (with a reason) when it cannot be written.
bool SaveRecentFolders(const std::string& fileName, const TRecentFolders& folders, std::string* error = nullptr);
// Moves `folder` to the top: its first occurrence is removed, and a non-empty folder is inserted
// at the front. Folders are the same when their paths are byte for byte the same.
void RecordRecentFolder(TRecentFolders& folders, const std::string& folder);
