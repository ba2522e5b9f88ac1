#include "tools/CliOutput.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "catalogue/ZmUtils.h"

namespace {
// Records are gathered and written a chunk at a time: one write per record would cost more than
// the listing itself.
constexpr size_t OutputChunk = size_t(1) << 20;
}  // namespace

TCliOutput::TCliOutput(const char* command, bool nullTerminated) : Command_(command), Null_(nullTerminated) {
  Out_.reserve(OutputChunk + 4096);
}

void TCliOutput::StartField() {
  if (InRecord_) Out_ += '\t';
  InRecord_ = true;
}

void TCliOutput::Path(std::string_view folder, std::string_view name) {
  StartField();
  if (Null_) {
    Out_ += folder;
    Out_ += name;
  } else {
    // No character spans the two: the folder ends with "/".
    AppendEscapedField(Out_, folder);
    AppendEscapedField(Out_, name);
  }
}

void TCliOutput::Text(std::string_view text) {
  StartField();
  AppendEscapedField(Out_, text);
}

void TCliOutput::Plain(std::string_view text) {
  StartField();
  Out_ += text;
}

void TCliOutput::Number(int64_t value) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  Plain(std::string_view(buf, size_t(end - buf)));
}

void TCliOutput::EndRecord() {
  Out_ += Null_ ? '\0' : '\n';
  InRecord_ = false;
  if (Out_.size() >= OutputChunk) WriteOut();
}

void TCliOutput::WriteOut() {
  std::fwrite(Out_.data(), 1, Out_.size(), stdout);
  Out_.clear();
}

void TCliOutput::Unreadable(std::string_view path, int error) {
  Failed_ = true;
  std::string line = "kirvane-cli ";
  line += Command_;
  line += ": cannot read ";
  AppendEscapedField(line, path);
  line += ": ";
  line += std::strerror(error);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

bool TCliOutput::Finish(std::string_view summary) {
  if (!Null_) {
    Out_ += summary;
    Out_ += '\n';
  }
  WriteOut();
  if (Null_) std::fprintf(stderr, "%.*s\n", int(summary.size()), summary.data());
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "kirvane-cli %s: writing the results: %s\n", Command_, std::strerror(errno));
    return false;
  }
  return true;
}
