/* engine/zip/zip_run.cpp - how a zip run reports its result. */
#include "engine/zip/zip_run.h"

namespace ostrana {
namespace {

constexpr size_t kReportTextLimit = 2048;

}  // namespace

std::string zip_report_text(MessageBook& book, int code, const char* detail) {
  std::string text = book.text(kZipMsgResultBase + code, 1);
  if (detail != nullptr && *detail != '\0') {
    text += " (";
    text += detail;
    text += ")";
  }
  if (text.size() > kReportTextLimit) text.resize(kReportTextLimit);
  text += "\n";
  return text;
}

int zip_report(ZipRun& run, int code, const char* detail) {
  if (run.reported || code == OZ_SUCCESS) return run.report(code, std::string());
  return run.report(code, zip_report_text(run.messages, code, detail));
}

int zip_report_message(ZipRun& run, int code, int detail_id) {
  if (run.reported) return run.result;
  std::string detail = run.messages.text(detail_id, 2);
  return zip_report(run, code, detail.c_str());
}

int zip_report_too_big(ZipRun& run) { return zip_report_message(run, OZ_TOO_BIG, kZipMsgNeedsZip64); }

}  // namespace ostrana
