// Options of a file list: which entries a scan visits and which the visible list shows.
#pragma once

#include <cstdint>

enum TZmFileInfoListOption : uint8_t {
  filoHiddenFileView = 0x01,   // entries with the hidden attribute are visible
  filoIncludePath = 0x02,      // folders themselves appear in the visible list
  filoSubFolderSearch = 0x04,  // the scan descends into every sub-folder, at any depth
};

// A set of TZmFileInfoListOption bits.
using TZmFileInfoListOptions = uint8_t;

// Sort modes: the column kinds of the file list.
enum TZmSortMode : int32_t {
  smName = 0,
  smFullFileName = 1,
  smPath = 2,
  smPathOnly = 3,
  smFindIndex = 4,
  smSize = 5,
  smSizeDetail = 6,
  smTypeName = 7,
  smLastWriteTime = 8,
  smAttr = 9,
  smCreationTime = 10,
  smLastAccessTime = 11,
  smJpegResult = 12,  // the verdict of the last JPEG check, files not checked first
  smLastSortMode = smJpegResult,
};
