#include "platform/AppPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

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
