/* engine/unzip/unzip_run.cpp - how an unzip run reports, shows messages and logs. */
#include "engine/unzip/unzip_run.h"

#include <cstdint>

#include "engine/common/message_display.h"
#include "engine/common/text_log.h"

namespace ostrana {

std::string unzip_report_text(MessageBook& book, int code, const char* detail) {
  const char* title = book.text(kUnzipMsgErrorTitle, 0);
  int text_id = code >= 0 && code <= kUnzipLastResultCode ? kUnzipMsgResultBase + code : 0;
  const char* result = text_id ? book.text(text_id, 1) : "-";
  if (detail != nullptr && *detail != '\0')
    return format_checked("%s %s (%s)\n", "%s %s (%s)\n", title, result, detail);
  return format_checked("%s %s \n", "%s %s \n", title, result);
}

int unzip_report(UnzipRun& run, int code, const char* detail) {
  if (run.reported) return run.result;
  if (code == OU_SUCCESS) {
    run.result = OU_SUCCESS;
    return OU_SUCCESS;
  }
  run.reported = true;
  run.result = code;
  std::string text = unzip_report_text(run.messages, code, detail);
  if (run.diagnostic) unzip_append_diagnostic(run, "\r\n" + text + "\r\n");
  if (!run.quiet) unzip_display(run, OSTRANA_DISPLAY_ERROR, OSTRANA_MB_OK, code, 0, text.c_str());
  return code;
}

int unzip_report_message(UnzipRun& run, int code, int detail_id) {
  if (run.reported) return run.result;
  std::string detail = run.messages.text(detail_id, 2);
  return unzip_report(run, code, detail.c_str());
}

int unzip_display(UnzipRun& run, int type, uint32_t style, int code, int extra, const char* caller_text) {
  char title[kMessageBufferSize];
  char text[kMessageBufferSize];
  compose_display(run.messages, kUnzipDisplayTable, type, code, extra, caller_text, title, text);
  return deliver_display(run.messages.channel(), type, style, code, extra, text, title, run.pump);
}

void unzip_append_diagnostic(UnzipRun& run, const std::string& text) {
  std::string path = resolve_log_path(run.messages.text(kUnzipMsgDiagnosticLogName, 0));
  append_log(path, text);
}

void unzip_write_result_lines(UnzipRun& run, int code) {
  MessageBook& book = run.messages;
  std::string response = book.text(kUnzipMsgResponse, 0);
  int text_id = code >= 0 && code <= kUnzipLastResultCode ? kUnzipMsgResultBase + code : 0;
  std::string result = text_id ? book.text(text_id, 1) : "-";
  std::string lines = format_checked("%s %d %s \r\n", "%s %d %s \r\n", response.c_str(), code, result.c_str());
  lines += book.format(kUnzipMsgReturnCount, 0, static_cast<int>(run.cmd.returnCount));
  lines += "\r\n";
  std::string label = book.text(kUnzipMsgReturnString, 0);
  lines += format_checked("%s %lx \r\n", "%s %lx \r\n", label.c_str(),
                          static_cast<unsigned long>(reinterpret_cast<uintptr_t>(run.cmd.lpszReturnString)));
  unzip_append_diagnostic(run, lines);
}

}  // namespace ostrana
