// kirvane-cli copy, move, trash and delete: the file-operation engine the main window uses,
// without prompts. Conflicts follow --on-conflict (skip by default); each file that was not done
// gets one line on stderr, its path escaped like the other sub-commands' paths.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/ZmUtils.h"
#include "platform/FileOperation.h"
#include "tools/CliCommands.h"

namespace {

constexpr const char* TransferUsage =
    "usage: kirvane-cli copy|move [--on-conflict overwrite|skip|keep-both] [--] SRC... FOLDER\n";
constexpr const char* RemoveUsage = "usage: kirvane-cli trash|delete [--] PATH...\n";

constexpr const char* HelpText =
    "\n"
    "Files only: a folder named among the sources is skipped. Each file that was not done gets\n"
    "one line on stderr, \"kirvane-cli COMMAND: PATH: reason\", the path escaped as in list and\n"
    "check (\\\\, \\t, \\n, \\xhh).\n"
    "Exit status: 0 every file done, 1 some file failed or was skipped, 2 bad arguments.\n";

int Usage(const char* text) {
  std::fputs(text, stderr);
  return 2;
}

// Reads "--" and, when `conflict` is given, --on-conflict; the other arguments are paths.
// False on an unknown option or value.
bool ParseArguments(int argc, char** argv, std::vector<std::string>& paths, TConflictAnswer* conflict) {
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      paths.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (conflict && a == "--on-conflict" && i + 1 < argc) {
      const std::string value = argv[++i];
      if (value == "overwrite") *conflict = TConflictAnswer::Overwrite;
      else if (value == "skip") *conflict = TConflictAnswer::Skip;
      else if (value == "keep-both") *conflict = TConflictAnswer::KeepBoth;
      else return false;
    } else {
      return false;
    }
  }
  return true;
}

int Report(const char* command, const TFileOperationResult& result) {
  std::string lines;
  for (const TFileIssue& issue : result.Issues) {
    lines += "kirvane-cli ";
    lines += command;
    lines += ": ";
    AppendEscapedField(lines, issue.Path);
    lines += ": " + issue.Reason + "\n";
  }
  std::fwrite(lines.data(), 1, lines.size(), stderr);
  return result.AllDone() ? 0 : 1;
}

int RunTransfer(const char* command, TFileTransfer kind, int argc, char** argv) {
  if (argc == 1 && std::strcmp(argv[0], "--help") == 0) {
    std::printf("%s%s", TransferUsage, HelpText);
    return 0;
  }
  std::vector<std::string> paths;
  TConflictAnswer answer = TConflictAnswer::Skip;
  if (!ParseArguments(argc, argv, paths, &answer) || paths.size() < 2) return Usage(TransferUsage);
  const std::string folder = paths.back();
  paths.pop_back();
  TFileOperationCallbacks callbacks;
  callbacks.Conflict = [answer](const std::string&, const std::string&) { return TConflictChoice{answer, true}; };
  return Report(command, TransferFiles(kind, paths, folder, callbacks));
}

int RunRemove(const char* command, bool trash, int argc, char** argv) {
  if (argc == 1 && std::strcmp(argv[0], "--help") == 0) {
    std::printf("%s%s", RemoveUsage, HelpText);
    return 0;
  }
  std::vector<std::string> paths;
  if (!ParseArguments(argc, argv, paths, nullptr) || paths.empty()) return Usage(RemoveUsage);
  return Report(command, trash ? TrashFiles(paths) : DeleteFiles(paths));
}

}  // namespace

int RunCopy(int argc, char** argv) { return RunTransfer("copy", TFileTransfer::Copy, argc, argv); }
int RunMove(int argc, char** argv) { return RunTransfer("move", TFileTransfer::Move, argc, argv); }
int RunTrash(int argc, char** argv) { return RunRemove("trash", true, argc, argv); }
int RunDelete(int argc, char** argv) { return RunRemove("delete", false, argc, argv); }
