#include <cstdio>

#include "tools/CliCommands.h"

int RunRender(int, char**) {
  std::fprintf(stderr, "kirvane-cli: not available yet\n");
  return 2;
}
