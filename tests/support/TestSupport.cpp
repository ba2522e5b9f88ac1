#include "tests/support/TestSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

std::string SharedDir() {
  const char* env = std::getenv("KV_SHARED_DIR");
  std::string dir = env && *env ? env : KV_SHARED_DIR;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return "";
  return fs::canonical(dir, ec).string() + "/";
}

std::string CorpusPath(const std::string& relative) {
  const std::string shared = SharedDir();
  if (shared.empty()) return "";
  std::error_code ec;
  if (!fs::is_directory(shared + "corpus", ec)) return "";
  return shared + "corpus/" + relative;
}

std::string TestDataPath(const std::string& relative) { return std::string(KV_TEST_DATA_DIR "/") + relative; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

uint64_t BytesReadSoFar() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

bool RunsWithinMemory(uint64_t extraBytes, const std::function<bool()>& fn) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * uint64_t(sysconf(_SC_PAGESIZE)) + extraBytes;
    const rlimit r{limit, limit};
    bool ok = false;
    if (setrlimit(RLIMIT_AS, &r) == 0) {
      try {
        ok = fn();
      } catch (...) {
      }
    }
    std::fflush(nullptr);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TTempDir::TTempDir() {
  std::string tmpl = (fs::temp_directory_path() / "kvtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  Path_ = tmpl + "/";
}

TTempDir::~TTempDir() {
  std::error_code ec;
  // Make everything writable again so that tests of read-only folders can be cleaned up.
  for (auto it = fs::recursive_directory_iterator(Path_, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(Path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(Path_, ec);
}

std::string TTempDir::File(const std::string& relative, const std::string& contents) {
  const std::string path = Path_ + relative;
  WriteText(path, contents);
  return path;
}

std::string TTempDir::Folder(const std::string& relative) {
  const std::string path = Path_ + relative;
  fs::create_directories(path);
  return path.back() == '/' ? path : path + "/";
}
