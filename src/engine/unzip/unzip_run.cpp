/* engine/unzip/unzip_run.cpp - how an unzip run reports, shows messages and logs. */
#include "engine/unzip/unzip_run.h"

#include <cstdint>


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
  if (run.reported || code == OU_SUCCESS) return run.report(code, std::string());
  return run.report(code, unzip_report_text(run.messages, code, detail));
}

void unzip_warn(UnzipRun& run, int code, const char* detail) {
  std::string text = unzip_report_text(run.messages, code, detail);
  if (run.diagnostic) run.append_diagnostic("\r\n" + text + "\r\n");
  if (!run.quiet) run.display(OSTRANA_DISPLAY_ERROR, OSTRANA_MB_OK, code, 0, text.c_str());
}

int unzip_report_message(UnzipRun& run, int code, int detail_id) {
  if (run.reported) return run.result;
  std::string detail = run.messages.text(detail_id, 2);
  return unzip_report(run, code, detail.c_str());
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
  run.append_diagnostic(lines);
}

}  // namespace ostrana
