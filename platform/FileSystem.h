// File-system facts and whole-file reads and writes, the POSIX side of the platform layer.
// Qt-free; safe to call from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// File times as the catalogue keeps them: unsigned 100-nanosecond units since 1601-01-01 UTC,
// so that every time that a file system can hold compares correctly as an unsigned number.
using TFileTime = uint64_t;
constexpr TFileTime UnixEpochAsFileTime = 116444736000000000ULL;
TFileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
// Seconds since 1970-01-01 UTC (rounded down) of a file time.
int64_t UnixSecondsFromFileTime(TFileTime t);

// Attribute bits of a directory entry.
enum : uint32_t {
  faReadOnly = 0x01,   // the owner's write permission bit is clear
  faHidden = 0x02,     // the name begins with "."
  faSysFile = 0x04,    // neither a regular file nor a folder (socket, FIFO, device, dangling link)
  faDirectory = 0x10,  // a folder, or a symbolic link to one
  faArchive = 0x20,    // never set on Linux
};

// The facts of one directory entry, symbolic links followed (a dangling link reports the link).
struct TDirEntryFacts {
  std::string Name;
  int64_t Size = 0;  // 0 for folders
  uint32_t Attr = 0;
  TFileTime CreationTime = 0;  // birth time where the file system reports it, else last write
  TFileTime LastAccessTime = 0;
  TFileTime LastWriteTime = 0;
};

// Identity of a folder, to enter each folder at most once in a recursive scan.
struct TFolderId {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  bool operator==(const TFolderId&) const = default;
};

// An entry of a folder whose facts could not be read, with the system's error number.
struct TDirEntryError {
  std::string Name;
  int Error = 0;
};

// Enumerates one folder with readdir and statx relative to the folder's descriptor. Entries "."
// and ".." are skipped; so is an entry that vanishes between readdir and statx. Not copyable.
class TDirectoryEnumerator {
 public:
  TDirectoryEnumerator() = default;
  ~TDirectoryEnumerator();
  TDirectoryEnumerator(const TDirectoryEnumerator&) = delete;
  TDirectoryEnumerator& operator=(const TDirectoryEnumerator&) = delete;

  // Opens a folder (path with or without trailing "/"), however long its path. False when it
  // cannot be read; Error() then tells why.
  bool Open(const std::string& folder);
  const TFolderId& Id() const { return Id_; }
  // The next entry, false at the end of the folder or when reading it failed (Error() is then
  // not 0). An entry whose facts cannot be read is skipped and kept in SkippedEntries().
  bool Next(TDirEntryFacts& entry);
  void Close();
  // The system's error number of the last failed Open or folder read, 0 if none.
  int Error() const { return Error_; }
  const std::vector<TDirEntryError>& SkippedEntries() const { return Skipped_; }

 private:
  void* Dir_ = nullptr;  // DIR*
  TFolderId Id_;
  int Error_ = 0;
  std::vector<TDirEntryError> Skipped_;
};

// Facts of one path (symbolic links followed). False when it does not exist.
bool GetPathFacts(const std::string& path, TDirEntryFacts& facts);
bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);

// How many of a file's first bytes a TFileHeadCheck sees (fewer when the file is shorter).
constexpr size_t FileHeadBytes = 4096;
// Sees a file's first bytes and its size before the rest is read; false refuses the file.
using TFileHeadCheck = std::function<bool(std::span<const uint8_t> head, uint64_t fileSize)>;

// Reads a whole file. Fails (with a reason in `error`) when it cannot be opened or read, is not a
// regular file, is larger than maxBytes, or `checkHead` refuses it. Never blocks on a FIFO, socket
// or device: they are refused before opening, and the descriptor is checked again once open.
bool ReadFileBytes(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& out, std::string& error,
                   const TFileHeadCheck& checkHead = nullptr);

// The file beside `path` that has its name with `extension` (without the dot) in place of its
// own, letter case ignored (ASCII), as DOS-era programs expect: "a/Pic.cut" finds "a/Pic.pal",
// "a/Pic.PAL" or "a/PIC.PAL". Among several, one whose name begins as path's does is preferred,
// then the first in byte order. Empty when there is none or the folder cannot be read.
std::string FindCompanionFile(const std::string& path, std::string_view extension);

// Writes all of `data` to a descriptor, through interrupted and short writes; false with errno set.
bool WriteAll(int fd, std::string_view data);

// Replaces a file atomically: writes a temporary file in the same folder, flushes it to disk and
// renames it over `path`, so a crash leaves either the old or the new file, never a half of one.
bool WriteFileAtomic(const std::string& path, std::string_view contents, std::string* error = nullptr);

// rename() that never replaces anything already at `to`: 0, or the error number (EEXIST when the
// name is taken). On a file system without RENAME_NOREPLACE a file is moved by link and unlink;
// a folder, which cannot be linked, after a check that the name is free.
int RenameNoReplace(const std::string& from, const std::string& to);

// Why a file-system call failed, for the user in Japanese: the common causes in words, any
// other by its number and the system's text.
std::string FileErrorText(int error);

// The folder of the running executable, with trailing "/".
std::string ExecutableFolder();
