// Runs a fuzz target's entry point over files without libFuzzer, so that ordinary (gcc) builds
// replay the seeds and every saved crash file as a test. Arguments: files or folders.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  size_t count = 0;
  auto run = [&](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++count;
  };
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (fs::is_directory(argv[i], ec)) {
      for (auto& e : fs::recursive_directory_iterator(argv[i], ec))
        if (e.is_regular_file(ec)) run(e.path());
    } else if (fs::is_regular_file(argv[i], ec)) {
      run(argv[i]);
    }
  }
  std::printf("replayed %zu inputs\n", count);
  return 0;
}
