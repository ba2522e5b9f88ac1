// Runs the kirvane-cli built beside the test, as a script would: through the shell, with its
// exit status, its output and its error lines.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

struct TCliRun {
  int Status = -1;
  std::string Out, Err;
};

// Arguments are quoted for the shell as they are; `before` (variables, ulimit) precedes the
// command and `redirect` replaces the capture of stdout.
inline TCliRun RunCli(const std::vector<std::string>& args, const std::string& before = "",
                      const std::string& redirect = "") {
  TTempDir errDir;
  std::string cmd = before + " '" + ExecutableFolder() + "kirvane-cli'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " 2>'" + errDir.Path() + "err' " + redirect;
  TCliRun run;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return run;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) run.Out.append(buf, n);
  const int status = pclose(p);
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const std::vector<uint8_t> err = ReadBytes(errDir.Path() + "err");
  run.Err.assign(err.begin(), err.end());
  return run;
}

// Skips a test when the tool is not built beside it.
#define KV_REQUIRE_CLI()                                                                                  \
  do {                                                                                                    \
    if (!FileExists(ExecutableFolder() + "kirvane-cli")) GTEST_SKIP() << "kirvane-cli is not built here"; \
  } while (0)
