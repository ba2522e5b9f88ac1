#include "platform/Paths.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

std::string CleanPath(std::string_view path) {
  if (path.empty()) return {};
  const bool absolute = path.front() == '/';
  std::vector<std::string_view> parts;
  bool folder = false;  // the last component names a folder
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(pos, end - pos);
    pos = end + 1;
    folder = part.empty() || part == "." || part == "..";
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      // A relative path cannot go above its start lexically: a leading ".." stays.
      if (!parts.empty() && parts.back() != "..") parts.pop_back();
      else if (!absolute) parts.push_back(part);
      continue;
    }
    parts.push_back(part);
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '/';
    out += parts[i];
  }
  if (out.empty()) return "./";
  if (folder && out.back() != '/') out += '/';
  return out;
}

std::string AbsolutePath(std::string_view path, std::string_view currentFolder) {
  if (path.empty() || path.front() == '/') return CleanPath(path);
  std::string joined(currentFolder);
  joined += '/';
  joined += path;
  return CleanPath(joined);
}

std::string AbsolutePath(std::string_view path) {
  if (path.empty() || path.front() == '/') return CleanPath(path);
  std::string cwd(256, '\0');
  while (!getcwd(cwd.data(), cwd.size())) {
    if (errno != ERANGE) return CleanPath(path);
    cwd.resize(cwd.size() * 2);
  }
  cwd.resize(cwd.find('\0'));
  return AbsolutePath(path, cwd);
}
