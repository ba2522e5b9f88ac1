#include "tests/support/TestSupport.h"

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

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
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
