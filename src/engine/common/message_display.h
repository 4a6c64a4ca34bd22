/* engine/common/message_display.h - showing a message or asking a question.
 *
 * The engine first asks its caller (lpMessageDisplay) and takes the answer
 * only when it is a button the style offers; otherwise, or with no callback,
 * it asks through the platform's message-box hook with the same text, title
 * and style (plus task-modal, foreground and topmost flags).  Display type 14
 * is never shown as a box.  After every question the application's events are
 * pumped unless the run's options say not to.
 *
 * Each side has a display-type table that says which title and text a type
 * shows; compose_display() fills the two buffers from it.
 */
#pragma once

#include <cstdint>

#include "engine/common/messages.h"

namespace ostrana {

/// True when @p answer is a button that @p style offers.
bool answer_fits_style(int answer, uint32_t style);

/// Asks the caller, then the message-box hook.  @p text and @p title are
/// writable buffers of kMessageBufferSize bytes (the callback may change them;
/// the box shows them as the callback left them).  @return the answer; for
/// type 14: 1 without a callback, -1 for an answer the style does not offer.
int deliver_display(const MessageChannel& channel, int type, uint32_t style, int code, int extra,
                    char* text, char* title, bool pump);

/// One display type of a side: its title and its text (message ids).
struct DisplayTypeRow {
  int type;
  int title_id;
  int text_id;  ///< 0: the caller's text; kDiskRequestText: first/next/last disk (below)
};

inline constexpr int kDiskRequestText = -1;

/// A side's display types.  Rows end with type -1.
struct DisplayTable {
  const DisplayTypeRow* rows;
  int other_title_id;  ///< title of a type the table does not list (its text is the caller's)
  int first_disk_id;   ///< type 0 with code -1
  int next_disk_id;    ///< type 0 with extra != -1, formatted with code
  int last_disk_id;    ///< type 0 otherwise
};

/// Fills @p title_ret and @p text_ret (kMessageBufferSize bytes each) for
/// display @p type.  Texts are formatted with (code, extra); a type whose text
/// is the caller's copies @p caller_text (nullptr: empty).  Uses slots 1 and 2.
void compose_display(MessageBook& book, const DisplayTable& table, int type, int code, int extra,
                     const char* caller_text, char* title_ret, char* text_ret);

}  // namespace ostrana
