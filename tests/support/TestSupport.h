// Helpers shared by the core tests: sample files from ../shared and temporary folders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);

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
