/* engine/common/engine_run.cpp - what every zip or unzip call keeps while it runs. */
#include "engine/common/engine_run.h"

#include "engine/common/text_log.h"

namespace ostrana {

int EngineRun::report(int code, const std::string& text) {
  if (reported) return result;
  if (code == 0) {
    result = 0;
    return 0;
  }
  reported = true;
  result = code;
  if (diagnostic) append_diagnostic("\r\n" + text + "\r\n");
  if (!quiet) display(OSTRANA_DISPLAY_ERROR, OSTRANA_MB_OK, code, 0, text.c_str());
  return code;
}

int EngineRun::display(int type, uint32_t style, int code, int extra, const char* caller_text) {
  char title[kMessageBufferSize];
  char text[kMessageBufferSize];
  compose_display(messages, *display_table, type, code, extra, caller_text, title, text);
  return deliver_display(messages.channel(), type, style, code, extra, text, title, pump);
}

void EngineRun::append_diagnostic(const std::string& text) {
  append_log(resolve_log_path(messages.text(diagnostic_log_id, 0)), text);
}

void show_refusal(MessageBook& book, const DisplayTable& display, int code, const std::string& text, bool pump) {
  char title[kMessageBufferSize];
  char shown[kMessageBufferSize];
  compose_display(book, display, OSTRANA_DISPLAY_ERROR, code, 0, text.c_str(), title, shown);
  deliver_display(book.channel(), OSTRANA_DISPLAY_ERROR, OSTRANA_MB_OK, code, 0, shown, title, pump);
}

}  // namespace ostrana
