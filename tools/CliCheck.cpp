#include <cstdio>

#include "tools/CliCommands.h"

int RunCheck(int, char**) {
  std::fprintf(stderr, "kirvane-cli: not available yet\n");
  return 2;
}
