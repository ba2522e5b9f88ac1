// The output of kirvane-cli's list and check: records of tab-separated fields on stdout, written
// in large chunks, and error lines on stderr.
//
// Paths and other texts taken from the file system are escaped (AppendEscapedField), so that each
// line is one record and each tab separates two fields whatever a name holds. With -0 a path is
// written as its bytes instead and each record ends with a NUL byte; the summary line then goes
// to stderr, so that stdout holds records only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TCliOutput {
 public:
  // `command` names the sub-command in error lines.
  TCliOutput(const char* command, bool nullTerminated);
  TCliOutput(const TCliOutput&) = delete;
  TCliOutput& operator=(const TCliOutput&) = delete;

  // Fields of the current record, each but the first after a tab.
  // A path given as its folder (ending in "/", or empty) and its name: escaped, or raw with -0.
  void Path(std::string_view folder, std::string_view name);
  void Text(std::string_view text);   // escaped
  void Plain(std::string_view text);  // made by the program: no tab, no control character
  void Number(int64_t value);
  void EndRecord();

  // An error line on stderr about something that could not be read; the run then fails.
  void Unreadable(std::string_view path, int error);
  bool Failed() const { return Failed_; }
  // Ends the output with the summary line. False (after a message) when stdout could not be
  // written, which is a failure of the run too.
  bool Finish(std::string_view summary);

 private:
  void StartField();
  void WriteOut();

  const char* Command_;
  const bool Null_;
  bool InRecord_ = false;
  bool Failed_ = false;
  std::string Out_;
};
