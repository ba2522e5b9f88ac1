#include "platform/AppPaths.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

std::string InstalledDataFolder(const std::string& programFolder) {
  constexpr std::string_view Bin = "/bin/";
  if (!programFolder.ends_with(Bin)) return {};
  return programFolder.substr(0, programFolder.size() - Bin.size()) + "/share/kirvane/";
}

std::string ChooseSettingsFolder(const TSettingsPlaceFacts& facts) {
  if (!facts.ConfigDir.empty()) return WithSlash(facts.ConfigDir);
  // A root-run program could write into /usr/local/bin, and files of a packaged or installed
  // program's folder are no place for one user's settings.
  constexpr std::string_view SystemPrefixes[] = {"/usr/", "/opt/", "/bin/", "/sbin/", "/snap/"};
  const bool systemFolder = std::ranges::any_of(
      SystemPrefixes, [&](std::string_view prefix) { return facts.ProgramFolder.starts_with(prefix); });
  if (facts.ProgramFolderWritable && !systemFolder && !facts.ProgramDataFolder) return facts.ProgramFolder;
  // The base directory specification ignores a relative XDG_CONFIG_HOME.
  if (facts.XdgConfigHome.starts_with('/')) return WithSlash(facts.XdgConfigHome) + "kirvane/";
  if (!facts.Home.empty()) return WithSlash(facts.Home) + ".config/kirvane/";
  return "/tmp/kirvane/";
}

std::string SettingsFolder() {
  auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  TSettingsPlaceFacts facts;
  facts.ConfigDir = env("KIRVANE_CONFIG_DIR");
  facts.ProgramFolder = ExecutableFolder();
  facts.ProgramFolderWritable = access(facts.ProgramFolder.c_str(), W_OK) == 0;
  const std::string data = InstalledDataFolder(facts.ProgramFolder);
  facts.ProgramDataFolder = !data.empty() && DirectoryExists(data);
  facts.XdgConfigHome = env("XDG_CONFIG_HOME");
  facts.Home = env("HOME");
  const std::string folder = ChooseSettingsFolder(facts);
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
  if (const std::string data = InstalledDataFolder(folder); !data.empty()) help.Places.push_back(data + relative);
  for (const std::string& place : help.Places) {
    if (FileExists(place)) {
      help.Path = place;
      break;
    }
  }
  return help;
}
