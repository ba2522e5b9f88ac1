// kirvane-cli: the core of Kirvane for scripts, tests and benchmarks. It runs the same code as
// the main window: the same scan, filter and sort, the same JPEG check and the same load path.
#include <cstdio>
#include <cstring>

#include "tools/CliCommands.h"

namespace {
struct TCommand {
  const char* Name;
  int (*Run)(int, char**);
};
constexpr TCommand Commands[] = {
    {"list", RunList}, {"check", RunCheck}, {"decode", RunDecode}, {"render", RunRender}};
}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const TCommand& c : Commands)
      if (std::strcmp(argv[1], c.Name) == 0) return c.Run(argc - 2, argv + 2);
  }
  std::fprintf(stderr,
               "usage: kirvane-cli list [--recursive] [--hidden] [--include-folders] [--ext .jpg,.png]\n"
               "                        [--sort N] [--desc] FOLDER\n"
               "       kirvane-cli check [--recursive] [--hidden] [--details] PATH...\n"
               "       kirvane-cli decode FILE [-o OUT.png]\n"
               "       kirvane-cli render FILE --viewport WxH [--place 0-8] [--adjust 0-3] [--scale S]\n"
               "                          [--filter 0-4] [--bg COLOUR] -o OUT.png\n");
  return 2;
}
