/* engine/zip/zip_run.cpp - how a zip run reports its result and shows messages. */
#include "engine/zip/zip_run.h"

#include "engine/common/message_display.h"
#include "engine/common/text_log.h"

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
  if (run.reported) return run.result;
  if (code == OZ_SUCCESS) {
    run.result = OZ_SUCCESS;
    return OZ_SUCCESS;
  }
  run.reported = true;
  run.result = code;
  std::string text = zip_report_text(run.messages, code, detail);
  if (run.diagnostic) zip_append_diagnostic(run, "\r\n" + text + "\r\n");
  if (!run.quiet) zip_display(run, OSTRANA_DISPLAY_ERROR, OSTRANA_MB_OK, code, 0, text.c_str());
  return code;
}

int zip_report_message(ZipRun& run, int code, int detail_id) {
  if (run.reported) return run.result;
  std::string detail = run.messages.text(detail_id, 2);
  return zip_report(run, code, detail.c_str());
}

int zip_display(ZipRun& run, int type, uint32_t style, int code, int extra, const char* caller_text) {
  char title[kMessageBufferSize];
  char text[kMessageBufferSize];
  compose_display(run.messages, kZipDisplayTable, type, code, extra, caller_text, title, text);
  return deliver_display(run.messages.channel(), type, style, code, extra, text, title, run.pump);
}

void zip_append_diagnostic(ZipRun& run, const std::string& text) {
  std::string path = resolve_log_path(run.messages.text(kZipMsgDiagnosticLogName, 0));
  append_log(path, text);
}

}  // namespace ostrana
