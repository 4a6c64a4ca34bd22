/* core/command_line.cpp - the program's command line. */
#include "core/command_line.h"

#include <strings.h>

#include "core/operation_record.h"

namespace core {
namespace {

struct Verb {
  const char* word;
  int32_t run_mode;
};

constexpr Verb kVerbs[] = {
    {"new", kRunModeCreate},
    {"update", kRunModeAdd},
    {"extract", kRunModeExtract},
    {"scheduled", kRunModeScheduled},
};

}  // namespace

void parse_command_line(const std::vector<std::string>& arguments, OperationRecord& record) {
  for (const std::string& argument : arguments) {
    const bool prefixed = !argument.empty() && (argument[0] == '/' || argument[0] == '-');
    const char* word = argument.c_str() + (prefixed ? 1 : 0);
    bool matched = false;
    for (const Verb& verb : kVerbs) {
      if (strcasecmp(word, verb.word) == 0) {
        record.run_mode = verb.run_mode;
        matched = true;
        break;
      }
    }
    if (!matched) {
      record.run_mode = kRunModeScheduled;
      record.cmdline_task_path = argument;
    }
  }
}

}  // namespace core
