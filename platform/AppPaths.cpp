#include "platform/AppPaths.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/FileSystem.h"

namespace {
std::string WithSlash(std::string p) {
  if (!p.empty() && p.back() != '/') p += '/';
  return p;
}

// Creates a folder and its parents (mode 0700 for what we create).
void MakeFolders(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') mkdir(folder.substr(0, i).c_str(), 0700);
  }
}

}  // namespace

std::string SettingsFolder() {
  if (const char* dir = std::getenv("KIRVANE_CONFIG_DIR"); dir && *dir) {
    const std::string folder = WithSlash(dir);
    MakeFolders(folder);
    return folder;
  }
  const std::string exe = ExecutableFolder();
  if (access(exe.c_str(), W_OK) == 0) return exe;
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') base = WithSlash(xdg);
  else if (const char* home = std::getenv("HOME"); home && *home) base = WithSlash(home) + ".config/";
  else base = "/tmp/";
  const std::string folder = base + "kirvane/";
  MakeFolders(folder);
  return folder;
}

std::string SettingsFilePath() { return SettingsFolder() + "kirvane.ini"; }
std::string RecentFoldersFilePath() { return SettingsFolder() + "folder.txt"; }

TSettingsFileStatus ReadSettingsFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  TSettingsFileStatus file;
  file.Path = path;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    // A dangling symbolic link is there, only unreadable.
    struct stat lst;
    file.State = errno == ENOENT && lstat(path.c_str(), &lst) != 0 ? TSettingsFileStatus::Missing
                                                                   : TSettingsFileStatus::Unreadable;
    return file;
  }
  // ReadFileBytes refuses a FIFO or device before opening it.
  std::string error;
  if (!ReadFileBytes(path, maxBytes, bytes, error)) {
    bytes.clear();
    file.State = TSettingsFileStatus::Unreadable;
    return file;
  }
  file.State = TSettingsFileStatus::Read;
  return file;
}

bool SetAsideSettingsFile(TSettingsFileStatus& file) {
  if (file.State != TSettingsFileStatus::Unreadable) return false;
  for (int i = 0; i < 100; ++i) {
    const std::string aside = file.Path + ".bad" + (i ? "." + std::to_string(i) : std::string());
    if (RenameNoReplace(file.Path, aside) == 0) {
      file.State = TSettingsFileStatus::SetAside;
      file.AsidePath = aside;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

THelpFile FindHelpFile(const std::string& relative, const std::string& programFolder) {
  THelpFile help;
  const std::string folder = WithSlash(programFolder);
  help.Places.push_back(folder + relative);
  // <prefix>/bin/ -> <prefix>/share/kirvane/
  constexpr std::string_view Bin = "/bin/";
  if (folder.ends_with(Bin))
    help.Places.push_back(folder.substr(0, folder.size() - Bin.size() + 1) + "share/kirvane/" + relative);
  for (const std::string& place : help.Places) {
    if (FileExists(place)) {
      help.Path = place;
      break;
    }
  }
  return help;
}
