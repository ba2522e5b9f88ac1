// The help pages and where the program finds them.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "platform/AppPaths.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

struct TPage {
  std::set<std::string> Ids;
  std::vector<std::string> Links;  // href and src values, in order
};

TPage ReadPage(const fs::path& file) {
  const std::string html = ReadText(file.string());
  TPage page;
  static const std::regex Id(R"re(\s(?:id|name)\s*=\s*"([^"]*)")re");
  for (std::sregex_iterator it(html.begin(), html.end(), Id), end; it != end; ++it)
    EXPECT_TRUE(page.Ids.insert((*it)[1]).second) << file << ": id \"" << (*it)[1] << "\" twice";
  static const std::regex Link(R"re(\s(?:href|src)\s*=\s*"([^"]*)")re");
  for (std::sregex_iterator it(html.begin(), html.end(), Link), end; it != end; ++it) page.Links.push_back((*it)[1]);
  return page;
}

// Every page is reached from index.html through its links, every link names a file of the help
// folder (no network: the pages open from disk on a machine without a connection), and every
// "#anchor" exists on the page it names.
TEST(HelpPages, EveryPageIsReachedAndEveryLinkAndAnchorResolves) {
  const fs::path folder = fs::weakly_canonical(KV_HELP_DIR);
  ASSERT_TRUE(fs::is_regular_file(folder / "index.html")) << folder;
  std::map<fs::path, TPage> pages;
  std::deque<fs::path> toRead{folder / "index.html"};
  std::vector<std::pair<fs::path, std::string>> anchors;  // page, id to find there
  while (!toRead.empty()) {
    const fs::path file = toRead.front();
    toRead.pop_front();
    if (pages.contains(file)) continue;
    const TPage& page = pages[file] = ReadPage(file);
    for (const std::string& link : page.Links) {
      SCOPED_TRACE(file.filename().string() + ": " + link);
      EXPECT_EQ(link.find(':'), std::string::npos) << "not a local link";
      EXPECT_FALSE(link.starts_with('/')) << "not relative to the help folder";
      const size_t hash = link.find('#');
      const std::string target = link.substr(0, hash);
      const fs::path path = target.empty() ? file : fs::weakly_canonical(file.parent_path() / target);
      ASSERT_TRUE(fs::is_regular_file(path));
      EXPECT_EQ(path.parent_path(), folder) << "outside the help folder";
      const bool html = path.extension() == ".html";
      if (html) toRead.push_back(path);
      if (hash != std::string::npos) {
        EXPECT_TRUE(html) << "an anchor on a file that is no page";
        anchors.emplace_back(path, link.substr(hash + 1));
      }
    }
  }
  for (const auto& [page, id] : anchors) EXPECT_TRUE(pages[page].Ids.contains(id)) << page << "#" << id;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    if (e.path().extension() == ".html") {
      EXPECT_TRUE(pages.contains(e.path())) << e.path() << " is reached from no page";
    }
  }
}

TEST(HelpPages, FoundBesideTheProgramOrInTheInstalledPrefix) {
  TTempDir dir;
  const std::string prefix = dir.Path();
  const std::string beside = prefix + "bin/kvhelp/index.html";
  const std::string shared = prefix + "share/kirvane/kvhelp/index.html";
  const struct {
    const char* Name;
    bool Beside, Shared;
    std::string Expected;
  } cases[] = {
      {"beside the program", true, false, beside},
      {"installed", false, true, shared},
      {"the one beside the program first", true, true, beside},
      {"nowhere", false, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(prefix + "bin");
    fs::remove_all(prefix + "share");
    fs::create_directories(prefix + "bin");
    if (c.Beside) dir.File("bin/kvhelp/index.html", "<html>");
    if (c.Shared) dir.File("share/kirvane/kvhelp/index.html", "<html>");
    const THelpFile help = FindHelpFile("kvhelp/index.html", prefix + "bin/");
    EXPECT_EQ(help.Path, c.Expected);
    // A missing page is reported with every place that was looked at.
    EXPECT_EQ(help.Places, (std::vector<std::string>{beside, shared}));
  }
  // A folder named "kvhelp" is no page; a program outside a "bin" folder has no prefix to look in.
  dir.Folder("build/kvhelp/index.html");
  const THelpFile help = FindHelpFile("kvhelp/index.html", prefix + "build");
  EXPECT_EQ(help.Path, "");
  EXPECT_EQ(help.Places, std::vector<std::string>{prefix + "build/kvhelp/index.html"});
}

}  // namespace
