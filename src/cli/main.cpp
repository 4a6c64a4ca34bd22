/* cli/main.cpp - `ostrana`, the engine's command line.
 *
 *   ostrana COMMAND ARCHIVE [ARGS...] [OPTIONS]
 *
 * Reads the line (command_line.h), finds the command in the table
 * (commands.h), checks its words and options, and runs it.  The exit status
 * is the engine's result code; a line that cannot be run at all exits with 64.
 * Errors go to stderr, naming the file and the reason.
 */
#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "ostrana.h"

namespace {

using cli::CommandLine;
using cli::Opt;

constexpr const char kEngineName[] = "Ostrana Secure Zip/UnZip";
// The product this build belongs to, from the build's project version.
constexpr const char kProductName[] = "Parvell Ravarave v" OSTRANA_PRODUCT_VERSION;

void print_usage(std::FILE* out) {
  std::fprintf(out,
               "usage: ostrana COMMAND ARCHIVE [ARGS...] [OPTIONS]\n"
               "%s %s\n\n"
               "Commands:\n",
               kEngineName, OstranaVersion());
  for (const cli::Command& c : cli::command_table())
    std::fprintf(out, "  %-8s %-22s %s\n", c.name, c.words, c.summary);
  std::fprintf(out,
               "\n`ostrana COMMAND --help` describes a command.  Options may stand anywhere on\n"
               "the line.  Exit status: the engine's result code (0 success); 64 when the\n"
               "command line itself is wrong.\n");
}

void print_command_help(const cli::Command& c) {
  std::printf("usage: ostrana %s %s [OPTIONS]\n%s.\n\n%s\n", c.name, c.words, c.summary, c.description);
  std::printf("\nOptions:\n");
  for (Opt id : c.options) {
    const cli::OptionSpec& option = cli::option_spec(id);
    std::printf("  %-26s %s\n", cli::option_synopsis(option).c_str(), option.help);
  }
  std::printf("  %-26s %s\n", cli::option_synopsis(cli::option_spec(Opt::kHelp)).c_str(),
              cli::option_spec(Opt::kHelp).help);
}

int usage_error(const std::string& message, const cli::Command* command) {
  std::fprintf(stderr, "ostrana: %s\n", message.c_str());
  if (command) std::fprintf(stderr, "usage: ostrana %s %s [OPTIONS]\n", command->name, command->words);
  else std::fprintf(stderr, "Try 'ostrana --help'.\n");
  return cli::kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  std::string error;
  if (!cli::parse_command_line(argc, argv, &line, &error)) return usage_error(error, nullptr);

  if (line.has(Opt::kVersion)) {
    // Only on its own, so that it never stands in for a forgotten word of a command.
    if (argc != 2) return usage_error("'--version' stands alone: ostrana --version", nullptr);
    std::printf("ostrana %s\n%s, the engine of %s\n", OstranaVersion(), kEngineName, kProductName);
    return 0;
  }
  if (line.words.empty()) {
    if (line.has(Opt::kHelp)) {
      print_usage(stdout);
      return 0;
    }
    print_usage(stderr);
    return cli::kUsageError;
  }
  std::string name = line.words[0];
  if (name == "help") {
    if (line.words.size() == 1) {
      print_usage(stdout);
      return 0;
    }
    const cli::Command* c = cli::find_command(line.words[1]);
    if (c == nullptr) return usage_error("unknown command '" + line.words[1] + "'", nullptr);
    print_command_help(*c);
    return 0;
  }
  const cli::Command* command = cli::find_command(name);
  if (command == nullptr) return usage_error("unknown command '" + name + "'", nullptr);
  if (line.has(Opt::kHelp)) {
    print_command_help(*command);
    return 0;
  }
  for (Opt given : line.given()) {
    bool accepted = false;
    for (Opt o : command->options) accepted = accepted || o == given;
    if (!accepted)
      return usage_error(std::string("option '--") + cli::option_spec(given).long_name + "' does not apply to '" +
                             command->name + "'",
                         command);
  }
  std::vector<std::string> words(line.words.begin() + 1, line.words.end());
  int n = static_cast<int>(words.size());
  if (n < command->min_words) return usage_error(std::string("'") + command->name + "' needs more arguments", command);
  if (command->max_words >= 0 && n > command->max_words)
    return usage_error(std::string("too many arguments for '") + command->name + "'", command);
  return command->run(words, line);
}
