// kirvane-cli check: the JPEG check over files and folders, run by the check component the main
// window uses, with one line per checked file and a summary line.
//
// A folder argument is listed through the file list component, filtered to the JPEG format's
// extensions and sorted the way the main window shows it (by name); a file argument is checked
// whatever its name. The lines come in argument order, a folder's files in the place of the
// folder.
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/ZmFileInfos.h"
#include "imageview/ZmGraphicExItemList.h"
#include "jpeg/ZmJpegChecker.h"
#include "jpeg/ZmJpegInfo.h"
#include "jpeg/ZmJpegInfoConsts.h"
#include "platform/FileSystem.h"
#include "tools/CliCommands.h"

namespace {

constexpr size_t OutputChunk = size_t(1) << 20;

int Usage() {
  std::fprintf(stderr, "usage: kirvane-cli check [--recursive] [--hidden] [--details] [--] PATH...\n");
  return 2;
}

// The extensions of the JPEG entry of the format table (".jfif", ".jpe", ...).
std::vector<std::string> JpegExtensions() {
  TZmGraphicExItemList formats;
  for (int i = 0; i < formats.Count(); ++i)
    formats.Items(i).Enabled = formats.Items(i).GraphicClass == &GraphicClasses::TJPEGImage;
  return formats.ExtensionList();
}

void AppendInt(std::string& out, int64_t v) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  out.append(buf, end);
}

// <Result> <text> [<frame type> <Width> <Height> <Quality> <IJGQuality> <AddBinarySize> <JFIF>
// <Exif> <MacBinary>] <path>, tab-separated. A record without a result (the check ran out of
// memory before it) shows jrNotAnalyzed (-1).
void AppendLine(std::string& out, const TZmFileInfo& record, bool details) {
  static const TZmJpegInfo Unchecked;
  const TZmJpegInfo& i = record.JpegInfo ? *record.JpegInfo : Unchecked;
  AppendInt(out, i.Result);
  out += '\t';
  out += JpegResultText(i.Result);
  out += '\t';
  if (details) {
    out += JpegSofTypeText(i.SofType);
    for (const int64_t v : {int64_t(i.Width), int64_t(i.Height), int64_t(i.Quality), int64_t(i.IJGQuality),
                            i.AddBinarySize, int64_t(i.JFIF), int64_t(i.Exif), int64_t(i.MacBinary)}) {
      out += '\t';
      AppendInt(out, v);
    }
    out += '\t';
  }
  out += record.Path();
  out += record.SearchRec.Name;
  out += '\n';
}

// A record for a file named on the command line: the folder part as given (possibly empty), so
// that the printed path is the argument itself.
std::unique_ptr<TZmFileInfo> FileRecord(const std::string& path) {
  auto record = std::make_unique<TZmFileInfo>();
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  record->SetPath(TZmFileInfo::SharedText(path.substr(0, nameStart)));
  record->SearchRec.Name = path.substr(nameStart);
  return record;
}

}  // namespace

int RunCheck(int argc, char** argv) {
  TZmFileInfoListOptions options = 0;
  bool details = false;
  bool optionsEnded = false;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") paths.push_back(a);
    else if (a == "--recursive") options |= filoSubFolderSearch;
    else if (a == "--hidden") options |= filoHiddenFileView;
    else if (a == "--details") details = true;
    else if (a == "--") optionsEnded = true;
    else return Usage();
  }
  if (paths.empty()) return Usage();

  // Every argument is first checked as a file. The analysis tells folders apart on the way (it
  // opens each path anyway), so only those need a second look: a stat of every argument would cost
  // as much as checking a small file.
  TZmFileInfos arguments;
  arguments.SetOptions(filoHiddenFileView);  // no filter: a file named here is checked whatever its name
  for (const std::string& path : paths) arguments.List().AllFiles.push_back(FileRecord(path));
  arguments.List().FilterList();
  TZmThreadJpegChecker checker;
  bool ended = false;
  checker.OnTerminate = [&] { ended = true; };
  const auto check = [&](TZmFileInfos& list) {
    checker.FileInfos = &list;
    ended = false;
    checker.Start();
    while (!ended) CheckSynchronize(100);
  };
  check(arguments);

  // Every folder list stays alive until the end, like the records of the arguments.
  std::vector<std::unique_ptr<TZmFileInfos>> folders;
  const std::vector<std::string> extensions = JpegExtensions();
  std::string out;
  out.reserve(OutputChunk + 4096);
  int64_t count = 0, errors = 0;
  const auto emit = [&](const TZmFileInfo& record) {
    AppendLine(out, record, details);
    ++count;
    // A file the check could not reach is not known to be sound.
    if (!record.JpegInfo || IsJpegError(record.JpegInfo->Result)) ++errors;
    if (out.size() >= OutputChunk) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  };
  for (const TZmFileInfo* argument : arguments.List().VisibleItems()) {
    // A folder does not exist as a file, or cannot be opened as one without read access.
    const int code = argument->JpegInfo ? argument->JpegInfo->Result : jrNotAnalyzed;
    if ((code == jrFileNotFound || code == jrCannotOpen) && DirectoryExists(argument->FullFileName())) {
      auto folder = std::make_unique<TZmFileInfos>();
      folder->SetOptions(options);
      folder->SetExtList(extensions);
      folder->SetPath(argument->FullFileName());
      folder->SetUseThread(false);
      folder->List().MakeList();
      folder->List().Sort();
      check(*folder);
      for (const TZmFileInfo* record : folder->List().VisibleItems()) emit(*record);
      folders.push_back(std::move(folder));
    } else {
      emit(*argument);
    }
  }
  AppendInt(out, count);
  out += " files, ";
  AppendInt(out, errors);
  out += " errors\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::perror("kirvane-cli: writing the results");
    return 2;
  }
  return errors != 0 ? 1 : 0;
}
