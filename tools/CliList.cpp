// kirvane-cli list: scans a folder through the file list component, with the main window's
// options, filter and sort, and prints one record per visible entry.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "catalogue/ZmFileInfos.h"
#include "catalogue/ZmUtils.h"
#include "imageview/ZmGraphicExItemList.h"
#include "platform/FileTypes.h"
#include "tools/CliCommands.h"
#include "tools/CliOutput.h"

namespace {

constexpr const char* UsageText =
    "usage: kirvane-cli list [--recursive] [--hidden] [--include-folders] [--ext .jpg,.png]\n"
    "                        [--sort N] [--desc] [-0|--null] FOLDER\n";

constexpr const char* HelpText =
    "\n"
    "Lists FOLDER as the main window does: the image formats' extensions unless --ext gives\n"
    "others (--ext '' lists every file), sorted by name unless --sort gives another column (0-11).\n"
    "One line per entry, then a summary \"N files, B bytes\":\n"
    "  index<TAB>path<TAB>size<TAB>type<TAB>last write (UTC)<TAB>attributes\n"
    "In paths and type names a backslash is written \\\\, a tab \\t, a line feed \\n, and any\n"
    "other control character or byte that is not UTF-8 \\xhh (one per byte), so that no name\n"
    "can add a field or a line.\n"
    "-0, --null  write paths as they are and end each record with a NUL byte instead of a line\n"
    "            feed; the path is what lies between the first tab and the fourth tab from the\n"
    "            end. The summary goes to stderr.\n"
    "A folder or entry that cannot be read is listed on stderr.\n"
    "Exit status: 0 listed, 2 bad arguments, something could not be read, or output failed.\n";

int Usage() {
  std::fputs(UsageText, stderr);
  return 2;
}

std::string_view IsoTime(TFileTime t, char (&buf)[32]) {
  const time_t seconds = time_t(UnixSecondsFromFileTime(t));
  tm utc{};
  gmtime_r(&seconds, &utc);
  return std::string_view(buf, std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc));
}

}  // namespace

int RunList(int argc, char** argv) {
  TZmFileInfoListOptions options = 0;
  bool haveExt = false, nullTerminated = false;
  std::string ext;
  int32_t sortMode = smName;
  bool sortDown = false;
  std::string folder;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--recursive") options |= filoSubFolderSearch;
    else if (a == "--hidden") options |= filoHiddenFileView;
    else if (a == "--include-folders") options |= filoIncludePath;
    else if (a == "--desc") sortDown = true;
    else if (a == "-0" || a == "--null") nullTerminated = true;
    else if (a == "--ext" && i + 1 < argc) haveExt = true, ext = argv[++i];
    else if (a == "--sort" && i + 1 < argc) {
      char* end;
      const long v = std::strtol(argv[++i], &end, 10);
      if (*end || v < INT32_MIN || v > INT32_MAX) return Usage();
      sortMode = int32_t(v);
    } else if (a == "--help") {
      std::printf("%s%s", UsageText, HelpText);
      return 0;
    } else if (!a.empty() && a[0] == '-' && a != "-") return Usage();
    else if (folder.empty()) folder = a;
    else return Usage();
  }
  if (folder.empty()) return Usage();
  if (!DirectoryExists(folder)) {
    std::string name;
    AppendEscapedField(name, folder);
    std::fprintf(stderr, "kirvane-cli list: %s is not a folder\n", name.c_str());
    return 2;
  }

  std::unique_ptr<IFileTypeProvider> types = CreateMimeFileTypes();
  TZmFileInfos infos;
  infos.SetFileTypes(types.get());
  infos.SetOptions(options);
  infos.SetSortMode(sortMode);
  infos.SetSortDown(sortDown);
  if (haveExt) {
    infos.SetExtList(SplitCommaText(ext));
  } else {
    TZmGraphicExItemList formats;
    infos.SetExtList(formats.ExtensionList());
  }
  infos.SetPath(folder);
  infos.SetUseThread(true);
  bool done = false;
  infos.SetOnTerminate([&] { done = true; });
  infos.List().MakeList();
  while (!done) CheckSynchronize(100);

  TZmThreadFileInfoList& list = infos.List();
  // The scan leaves discovery order, which is sort mode 4 ascending.
  if (!(list.SortMode == smFindIndex && !list.SortDown)) list.Sort();
  TCliOutput out("list", nullTerminated);
  for (const TZmUnreadable& u : list.Unreadable) out.Unreadable(u.Path, u.Error);

  char time[32];
  for (const TZmFileInfo* r : list.VisibleItems()) {
    out.Number(r->FindIndex);
    out.Path(r->Path(), r->SearchRec.Name);
    out.Number(r->SearchRec.Size);
    out.Text(r->TypeName());
    out.Plain(IsoTime(r->SearchRec.ftLastWriteTime, time));
    out.Plain(AttrToText(r->SearchRec.Attr));
    out.EndRecord();
  }
  const bool written =
      out.Finish(std::to_string(list.Count()) + " files, " + std::to_string(list.TotalSize()) + " bytes");
  return written && !out.Failed() ? 0 : 2;
}
