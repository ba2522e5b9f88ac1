// Helpers shared by the core tests: sample files from ../shared and temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The shared folder beside the repository (KV_SHARED_DIR overrides), or "" when it is absent.
std::string SharedDir();
// Path of a file under ../shared/corpus, or "" when the corpus is absent.
std::string CorpusPath(const std::string& relative);

// Skips the current test with a clear message when ../shared/corpus is absent.
#define KV_REQUIRE_CORPUS()                                                              \
  do {                                                                                   \
    if (CorpusPath("").empty()) GTEST_SKIP() << "../shared/corpus not found; sample-file test skipped"; \
  } while (0)

// Path of a file under the repository's tests/data.
std::string TestDataPath(const std::string& relative);

std::vector<uint8_t> ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);  // the bytes of a file as they are
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);

// Bytes this process has read from files so far (rchar in /proc/self/io): a test can tell
// whether a call read a file whole.
uint64_t BytesReadSoFar();

// Runs `fn` in a child process that may map at most `extraBytes` more memory than the test
// had; true when `fn` returned true there. An allocation over the limit throws std::bad_alloc
// (or fails) in the child, so a test can assert that a call never allocates more.
bool RunsWithinMemory(uint64_t extraBytes, const std::function<bool()>& fn);

// A fresh temporary folder, removed with everything in it when the object goes away.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  // The folder, with trailing "/".
  const std::string& Path() const { return Path_; }
  // Creates a file (and its folders) under the folder; returns its full path.
  std::string File(const std::string& relative, const std::string& contents = "");
  std::string Folder(const std::string& relative);

 private:
  std::string Path_;
};
