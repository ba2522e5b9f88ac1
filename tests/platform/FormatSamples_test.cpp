// Every extension of the format table opens a picture through the single load path: a real
// sample of its picture class (the corpus, the repository's own JPEGs, the fuzz seeds built from
// the format notes, or a CUT made here) saved under that extension.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "decoders/MetafileReader.h"
#include "imageview/ZmGraphicExTypes.h"
#include "platform/MetafileRenderer.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

bool Decodes(const std::string& path) {
  return LoadPicture(path).Ok();
}

// The first file under `folder` (outside corrupt/) of each class that decodes, keyed by class.
void AddSamples(const fs::path& folder, std::map<const TGraphicClass*, std::string>& samples) {
  if (!fs::is_directory(folder)) return;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_directory() && it->path().filename() == "corrupt") it.disable_recursion_pending();
    if (!it->is_regular_file()) continue;
    const std::string path = it->path().string();
    const TGraphicClass* c = FindGraphicClass(PictureExtension(path));
    if (c && !samples.contains(c) && Decodes(path)) samples[c] = path;
  }
}

TEST(FormatTable, EveryExtensionOpensASampleOfItsClass) {
  KV_REQUIRE_CORPUS();
  SetMetafileRenderer(RenderMetafile);
  TTempDir dir;
  std::map<const TGraphicClass*, std::string> samples;
  AddSamples(CorpusPath("formats"), samples);
  AddSamples(TestDataPath("jpeg"), samples);
  // Seeds of a format's fuzz target (<extension>_fuzzer/) are named by their hash.
  const fs::path seeds = fs::path(TestDataPath("")) / "../../fuzz/corpus";
  int n = 0;
  for (const auto& folder : fs::directory_iterator(seeds)) {
    if (!folder.is_directory()) continue;
    const std::string name = folder.path().filename().string();
    const std::string extension = name.substr(0, name.find("_fuzzer"));
    for (const auto& seed : fs::directory_iterator(folder))
      if (FindGraphicClass(extension) && seed.is_regular_file())
        WriteBytes(dir.Folder("made") + std::to_string(++n) + "." + extension, ReadBytes(seed.path().string()));
  }
  AddSamples(seeds, samples);  // those named with their extension
  // A 5 x 1 Dr. Halo CUT: one run of 5 pixels of colour 7; shown as grey without its palette.
  dir.File("made/made.cut", std::string("\x05\0\x01\0\0\0\x03\0\x85\x07\0", 11));
  AddSamples(dir.Path() + "made", samples);
  for (const TGraphicRegistration& r : DecoderRegistry()) {
    SCOPED_TRACE(std::string(r.Extension));
    ASSERT_TRUE(samples.contains(r.Class)) << "no sample of " << r.Class->ClassName;
    const std::string copy = dir.Path() + "sample." + std::string(r.Extension);
    WriteBytes(copy, ReadBytes(samples[r.Class]));
    EXPECT_TRUE(Decodes(copy)) << samples[r.Class];
  }
}

}  // namespace
