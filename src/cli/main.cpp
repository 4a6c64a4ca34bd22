/* cli/main.cpp - `ostrana`, the engine's command line. */
#include <cstdio>
#include <cstring>

#include "engine/common/version.h"

namespace {

void print_usage(std::FILE* out) {
  std::fprintf(out,
               "usage: ostrana COMMAND ARCHIVE [ARGS...] [OPTIONS]\n"
               "Ostrana Secure Zip/UnZip %s\n",
               ostrana::kEngineVersion);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    print_usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  std::fprintf(stderr, "ostrana: unknown command '%s'\n", argv[1]);
  print_usage(stderr);
  return 2;
}
