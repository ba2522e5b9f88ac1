// The recent-folder list ("folder.txt"): the folders a slideshow or a check was started from,
// most recent first. One entry per line, CR LF after every entry.
//
// A line holds the path's own bytes: a UTF-8 name reads as UTF-8 text, and a name that is not
// UTF-8 keeps its bytes, so that the folder can be found again. Only three bytes are written
// otherwise: CR and LF (which would end the line) as 0xFF 'r' and 0xFF 'n', and 0xFF itself as
// 0xFF 0xFF. 0xFF never occurs in UTF-8, so every UTF-8 file reads exactly as it is; 0xFF
// followed by anything else is taken as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/AppPaths.h"

using TRecentFolders = std::vector<std::string>;

// Reads the whole file; a line ends at CR, LF or CR LF, an empty line is an empty entry and a
// final line end adds none. A missing file gives an empty list; so does one that cannot be read
// (or holds more entries than any list could), which `status` then reports as Unreadable: it
// must not be written over.
TRecentFolders LoadRecentFolders(const std::string& fileName, TSettingsFileStatus* status = nullptr);
TRecentFolders ParseRecentFolders(std::string_view text);
std::string RecentFoldersText(const TRecentFolders& folders);
// Replaces the file atomically; false (with a reason) when it cannot be written.
bool SaveRecentFolders(const std::string& fileName, const TRecentFolders& folders, std::string* error = nullptr);
// Moves `folder` to the top: its first occurrence is removed, and a non-empty folder is inserted
// at the front. Folders are the same when their paths are byte for byte the same.
void RecordRecentFolder(TRecentFolders& folders, const std::string& folder);
