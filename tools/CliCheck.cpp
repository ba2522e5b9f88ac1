// kirvane-cli check: the JPEG check over files and folders, run by the check component the main
// window uses, with one record per checked file and a summary line.
//
// A folder argument is listed through the file list component, filtered to the JPEG format's
// extensions and sorted the way the main window shows it (by name); a file argument is checked
// whatever its name. The records come in argument order, a folder's files in the place of the
// folder.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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
#include "tools/CliOutput.h"

namespace {

constexpr const char* UsageText =
    "usage: kirvane-cli check [--recursive] [--hidden] [--details] [-0|--null] [--] PATH...\n";

constexpr const char* HelpText =
    "\n"
    "Checks JPEG files for damage without decoding them; a folder stands for its JPEG files\n"
    "(with --recursive, also those of its sub-folders), sorted by name.\n"
    "One line per file, then a summary \"N files, E errors\":\n"
    "  code<TAB>text<TAB>path\n"
    "  with --details: code<TAB>text<TAB>frame type<TAB>width<TAB>height<TAB>quality<TAB>\n"
    "                  IJG quality<TAB>appended bytes<TAB>JFIF<TAB>Exif<TAB>MacBinary<TAB>path\n"
    "Codes: 0 sound, 1 sound with data after the image, 2 damaged, 3 analysis failed, 4 no such\n"
    "file, 5 cannot be opened, 6 empty, 7 not a JPEG file; 2 to 7 count as errors.\n"
    "In paths a backslash is written \\\\, a tab \\t, a line feed \\n, and any other control\n"
    "character or byte that is not UTF-8 \\xhh (one per byte), so that no name can add a field\n"
    "or a line.\n"
    "-0, --null  write paths as they are and end each record with a NUL byte instead of a line\n"
    "            feed; the path is what follows the second tab (the eleventh with --details).\n"
    "            The summary goes to stderr.\n"
    "A folder or file that cannot be read is also listed on stderr.\n"
    "Exit status: 0 every file sound, 1 some file has an error, 2 bad arguments, something\n"
    "could not be read, or output failed.\n";

int Usage() {
  std::fputs(UsageText, stderr);
  return 2;
}

// The extensions of the JPEG entry of the format table (".jfif", ".jpe", ...).
std::vector<std::string> JpegExtensions() {
  TZmGraphicExItemList formats;
  for (int i = 0; i < formats.Count(); ++i)
    formats.Items(i).Enabled = formats.Items(i).GraphicClass == &GraphicClasses::TJPEGImage;
  return formats.ExtensionList();
}

// A record without a result (the check ran out of memory before it) shows jrNotAnalyzed.
void WriteRecord(TCliOutput& out, const TZmFileInfo& record, bool details) {
  static const TZmJpegInfo Unchecked;
  const TZmJpegInfo& i = record.JpegInfo ? *record.JpegInfo : Unchecked;
  out.Number(i.Result);
  out.Plain(JpegResultText(i.Result));
  if (details) {
    out.Plain(JpegSofTypeText(i.SofType));
    for (const int64_t v : {int64_t(i.Width), int64_t(i.Height), int64_t(i.Quality), int64_t(i.IJGQuality),
                            i.AddBinarySize, int64_t(i.JFIF), int64_t(i.Exif), int64_t(i.MacBinary)})
      out.Number(v);
  }
  out.Path(record.Path(), record.SearchRec.Name);
  out.EndRecord();
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

// Why a file that the check could not open cannot be read (its error number), or 0 when it
// opens but is no regular file (a FIFO, a device): that is the check's verdict on it, not a
// failure of the run.
int OpenFailure(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

}  // namespace

int RunCheck(int argc, char** argv) {
  TZmFileInfoListOptions options = 0;
  bool details = false, nullTerminated = false;
  bool optionsEnded = false;
  std::vector<std::string> paths;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") paths.push_back(a);
    else if (a == "--recursive") options |= filoSubFolderSearch;
    else if (a == "--hidden") options |= filoHiddenFileView;
    else if (a == "--details") details = true;
    else if (a == "-0" || a == "--null") nullTerminated = true;
    else if (a == "--") optionsEnded = true;
    else if (a == "--help") {
      std::printf("%s%s", UsageText, HelpText);
      return 0;
    } else return Usage();
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
  TCliOutput out("check", nullTerminated);
  int64_t count = 0, errors = 0;
  const auto emit = [&](const TZmFileInfo& record) {
    WriteRecord(out, record, details);
    ++count;
    // A file the check could not reach is not known to be sound.
    const int code = record.JpegInfo ? record.JpegInfo->Result : jrNotAnalyzed;
    if (code == jrNotAnalyzed || IsJpegError(code)) ++errors;
    if (code == jrCannotOpen) {
      const std::string path = record.FullFileName();
      if (const int error = OpenFailure(path)) out.Unreadable(path, error);
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
      for (const TZmUnreadable& u : folder->List().Unreadable) out.Unreadable(u.Path, u.Error);
      check(*folder);
      for (const TZmFileInfo* record : folder->List().VisibleItems()) emit(*record);
      folders.push_back(std::move(folder));
    } else {
      emit(*argument);
    }
  }
  const bool written = out.Finish(std::to_string(count) + " files, " + std::to_string(errors) + " errors");
  if (!written || out.Failed()) return 2;
  return errors != 0 ? 1 : 0;
}
