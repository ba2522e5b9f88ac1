// Where Kirvane keeps its files, kirvane.ini and folder.txt, and how it reads them.
//
// Beside the executable when that folder is writable (the portable layout); otherwise
// $XDG_CONFIG_HOME/kirvane/ (~/.config/kirvane/). KIRVANE_CONFIG_DIR overrides both.
//
// The files are the user's: one that exists but cannot be read (not a regular file, larger than
// the reader's limit, no permission, a read error) is never written over. The main window sets
// it aside as "<name>.bad" and says so; when even that fails, the file is left as it is and
// this session does not write it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The settings folder, with trailing "/", created when it does not exist yet.
std::string SettingsFolder();
std::string SettingsFilePath();       // <folder>kirvane.ini
std::string RecentFoldersFilePath();  // <folder>folder.txt

// How one of the program's files was found when it was read.
struct TSettingsFileStatus {
  enum TState { Missing, Read, Unreadable, SetAside };
  TState State = Missing;
  std::string Path;
  std::string AsidePath;  // SetAside: the name the unreadable file has now
  // False while the file on disk is one that could not be read.
  bool MayWrite() const { return State != Unreadable; }
};

// Reads a whole file into `bytes`. A missing file is no error (Missing, no bytes); a file that
// exists but cannot be read whole within maxBytes is Unreadable, with no bytes. Never blocks on
// a FIFO or a device.
TSettingsFileStatus ReadSettingsFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes);

// Renames an Unreadable file to "<name>.bad" (or "<name>.bad.1", ".bad.2", ...; an earlier one
// is never replaced), after which the state is SetAside and a new file may be written. False,
// with the state unchanged, when the file cannot be renamed.
bool SetAsideSettingsFile(TSettingsFileStatus& file);

// The help file `relative` ("kvhelp/index.html") of a program in `programFolder`: beside the
// program, or, for one installed as <prefix>/bin/kirvane, in <prefix>/share/kirvane/.
struct THelpFile {
  std::string Path;                 // the first place that holds the file; empty when none does
  std::vector<std::string> Places;  // every place looked at, in order
};
THelpFile FindHelpFile(const std::string& relative, const std::string& programFolder);
