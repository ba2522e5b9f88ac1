// The texts of the main file list: one cell per column kind, and the status bar.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/ZmFileInfo.h"

// Digit grouping with the locale's thousands separator ("1,234").
std::string FormatCount(int64_t n);
// A file time as local date and time: the short date, a blank and the long time; the time is
// left out when it is exactly midnight.
std::string FileTimeToText(TFileTime t);
// The text of column kind 0-11 for a record (empty for other kinds).
std::string FileListCellText(const TZmFileInfo& r, int kind);

// Status panel texts.
std::string SelectionCountText(int64_t selected);          // "1,234 個のオブジェクトを選択"
std::string PositionText(int64_t focused, int64_t count);  // "5 / 1,234" (focused is 0-based)
std::string ObjectCountText(int64_t count);                // "1,234 個のオブジェクト"
