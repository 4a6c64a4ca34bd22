/* core/program_info.cpp - what `parvell --help` and `parvell --version` print. */
#include "core/program_info.h"

#include "core/product.h"

namespace core {

InfoRequest info_request(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return InfoRequest::kNone;
  if (arguments[0] == "--help") return InfoRequest::kHelp;
  if (arguments[0] == "--version") return InfoRequest::kVersion;
  return InfoRequest::kNone;
}

std::string version_text(const std::string& engine_version) {
  return std::string("parvell ") + kProductVersion + " (" + kProductName + ")\n" + kEngineName + " " +
         engine_version + "\n";
}

std::string help_text(const std::string& help_page, const std::string& online_help) {
  std::string text =
      "usage: parvell [new|update|extract]\n"
      "       parvell [/scheduled] TASK-FILE\n"
      "       parvell --help | --version\n"
      "\n"
      "Run modes:\n"
      "  parvell                     the wizard, with the operation you chose last time\n"
      "  parvell new|update|extract  the same (the remembered operation still wins)\n"
      "  parvell /scheduled FILE     a scheduled run of the task info file FILE, without questions\n"
      "  parvell FILE                the same\n"
      "A leading \"/\" or \"-\" before a verb is optional and the last argument wins;\n"
      "--help and --version are recognised only as the only argument.\n"
      "\n"
      "Exit status:\n"
      "  0  the run did what it was asked\n"
      "  1  the operation did not complete successfully, was not run, or the wizard was cancelled\n"
      "  2  the wizard was started without a display\n"
      "  3  the task info file was refused (not named, missing, or not a valid task file)\n"
      "\n";
  if (!help_page.empty()) text += "Help pages: " + help_page + "\n";
  else text += "Help pages: not installed here; online at " + online_help + "\n";
  return text;
}

}  // namespace core
