// kirvane-cli list: scans a folder through the file list component, with the main window's
// options, filter and sort, and prints one line per visible record.
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

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kirvane-cli list [--recursive] [--hidden] [--include-folders] [--ext .jpg,.png]\n"
               "                        [--sort N] [--desc] FOLDER\n");
  return 2;
}

void AppendIsoTime(std::string& out, TFileTime t) {
  const time_t seconds = time_t(UnixSecondsFromFileTime(t));
  tm utc{};
  gmtime_r(&seconds, &utc);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
  out += buf;
}

}  // namespace

int RunList(int argc, char** argv) {
  TZmFileInfoListOptions options = 0;
  bool haveExt = false;
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
    else if (a == "--ext" && i + 1 < argc) haveExt = true, ext = argv[++i];
    else if (a == "--sort" && i + 1 < argc) {
      char* end;
      const long v = std::strtol(argv[++i], &end, 10);
      if (*end || v < INT32_MIN || v > INT32_MAX) return Usage();
      sortMode = int32_t(v);
    } else if (!a.empty() && a[0] == '-' && a != "-") return Usage();
    else if (folder.empty()) folder = a;
    else return Usage();
  }
  if (folder.empty()) return Usage();
  if (!DirectoryExists(folder)) {
    std::fprintf(stderr, "kirvane-cli: %s is not a folder\n", folder.c_str());
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

  std::string out;
  out.reserve(1 << 20);
  for (const TZmFileInfo* r : list.VisibleItems()) {
    out += std::to_string(r->FindIndex);
    out += '\t';
    out += r->Path();
    out += r->SearchRec.Name;
    out += '\t';
    out += std::to_string(r->SearchRec.Size);
    out += '\t';
    out += r->TypeName();
    out += '\t';
    AppendIsoTime(out, r->SearchRec.ftLastWriteTime);
    out += '\t';
    out += AttrToText(r->SearchRec.Attr);
    out += '\n';
    if (out.size() > (1 << 20) - 4096) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  out += std::to_string(list.Count()) + " files, " + std::to_string(list.TotalSize()) + " bytes\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
