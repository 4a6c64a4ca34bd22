/* engine/common/message_display.cpp - showing a message or asking a question. */
#include "engine/common/message_display.h"

#include <string>

#include "platform/event_pump.h"
#include "platform/message_box.h"

namespace ostrana {

bool answer_fits_style(int answer, uint32_t style) {
  switch (style & OSTRANA_MB_BUTTONS_MASK) {
    case OSTRANA_MB_OK: return answer == OSTRANA_ID_OK;
    case OSTRANA_MB_OKCANCEL: return answer == OSTRANA_ID_OK || answer == OSTRANA_ID_CANCEL;
    case OSTRANA_MB_ABORTRETRYIGNORE:
      return answer == OSTRANA_ID_ABORT || answer == OSTRANA_ID_RETRY || answer == OSTRANA_ID_IGNORE;
    case OSTRANA_MB_YESNOCANCEL:
      return answer == OSTRANA_ID_YES || answer == OSTRANA_ID_NO || answer == OSTRANA_ID_CANCEL;
    case OSTRANA_MB_YESNO: return answer == OSTRANA_ID_YES || answer == OSTRANA_ID_NO;
    case OSTRANA_MB_RETRYCANCEL: return answer == OSTRANA_ID_RETRY || answer == OSTRANA_ID_CANCEL;
    case OSTRANA_MB_OVERWRITE:
      // Yes, No, Cancel, Yes to All (5 is taken as Yes to All too), Rename.
      return answer == OSTRANA_ID_YES || answer == OSTRANA_ID_NO || answer == OSTRANA_ID_CANCEL ||
             answer == OSTRANA_ID_YESTOALL || answer == OSTRANA_ID_IGNORE ||
             answer == OSTRANA_ID_RENAME;
    default: return false;
  }
}

int deliver_display(const MessageChannel& channel, int type, uint32_t style, int code, int extra,
                    char* text, char* title, bool pump) {
  text[kMessageBufferSize - 1] = '\0';
  title[kMessageBufferSize - 1] = '\0';
  int answer = -1;
  bool asked = false;
  if (channel.proc != nullptr) {
    answer = channel.proc(type, style, code, extra, text, title, channel.data);
    text[kMessageBufferSize - 1] = '\0';
    title[kMessageBufferSize - 1] = '\0';
    asked = true;
  }
  if (type == 14) {
    // A finished file or part is announced, never shown by the engine itself.
    if (!asked) answer = OSTRANA_ID_OK;
    else if (!answer_fits_style(answer, style)) answer = -1;
  } else if (!asked || !answer_fits_style(answer, style)) {
    answer = platform::show_message_box(
        text, title, style | OSTRANA_MB_TASKMODAL | OSTRANA_MB_SETFOREGROUND | OSTRANA_MB_TOPMOST);
  }
  if (pump) platform::pump_events();
  return answer;
}

void compose_display(MessageBook& book, const DisplayTable& table, int type, int code, int extra,
                     const char* caller_text, char* title_ret, char* text_ret) {
  const DisplayTypeRow* row = nullptr;
  for (const DisplayTypeRow* r = table.rows; r->type != -1; ++r)
    if (r->type == type) {
      row = r;
      break;
    }
  int title_id = row ? row->title_id : table.other_title_id;
  int text_id = row ? row->text_id : 0;
  if (text_id == kDiskRequestText)
    text_id = code == -1 ? table.first_disk_id
              : extra != -1 ? table.next_disk_id
                            : table.last_disk_id;
  copy_to_message_buffer(title_ret, book.text(title_id, 1));
  if (text_id == 0) {
    copy_to_message_buffer(text_ret, caller_text);
  } else {
    std::string text = book.format(text_id, 2, code, extra);
    copy_to_message_buffer(text_ret, text.c_str());
  }
}

}  // namespace ostrana
