/* engine/common/messages.h - the engine's message tables and how texts are looked up.
 *
 * Every text of the engine (result texts, titles, prompts, log lines, even the
 * log file names) is one (id, text) row of its side's table.  A text is never
 * used straight from the table: it is copied into one of three slots and
 * offered to the caller's message callback as display type 13, which may
 * rewrite it (to translate it, or to move a log file).  Three slots let up to
 * three looked-up texts be in use at once (a title, a text and a detail).
 *
 * Texts are printf formats.  A caller's replacement is used only when it has
 * the same conversions as the engine's own text (format_checked), so a bad
 * translation cannot make the engine read arguments it never passed.
 */
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

#include "ostrana_callbacks.h"

namespace ostrana {

/// One row of a message table.  Tables end with a row whose id is 0.
struct MessageRow {
  int id;
  const char* text;
};

/// The built-in text of @p id in @p table, or nullptr when the table has none.
const char* find_message(const MessageRow* table, int id);

/// The caller's message callback as a command record gives it.
struct MessageChannel {
  OSTRANA_MESSAGE_PROC proc = nullptr;
  void* data = nullptr;
};

inline constexpr size_t kMessageBufferSize = OSTRANA_MESSAGE_BUFFER_SIZE;  // 2,049
inline constexpr int kMessageSlots = 3;

/// Text lookup for one run: the side's table, the caller's channel, three slots.
class MessageBook {
 public:
  explicit MessageBook(const MessageRow* table) : m_table(table) {}

  void set_channel(const MessageChannel& channel) { m_channel = channel; }
  const MessageChannel& channel() const { return m_channel; }

  /// Looks @p id up, offers it to the caller (type 13) and keeps the result in
  /// slot @p slot (0..2).  @return the slot's text; "" for an unknown id.  The
  /// text stays valid until the slot is used again.
  const char* text(int id, int slot);

  /// The engine's own text of @p id ("" when none), without any offer.
  const char* builtin(int id) const;

  /// Looks @p id up through slot @p slot and formats it with the arguments;
  /// a replacement whose conversions differ from the built-in text is ignored.
  std::string format(int id, int slot, ...);

 private:
  const MessageRow* m_table;
  MessageChannel m_channel;
  char m_slots[kMessageSlots][kMessageBufferSize] = {};
};

/// The printf conversions of @p fmt, in order ("%-5ld %s %%" gives "ld s").
std::string conversion_signature(const char* fmt);

/// vsnprintf of @p fmt, or of @p reference when @p fmt's conversions differ from
/// @p reference's.  The result is at most kMessageBufferSize - 1 characters.
std::string vformat_checked(const char* fmt, const char* reference, va_list args);
std::string format_checked(const char* fmt, const char* reference, ...);

/// Copies @p text into a message buffer of kMessageBufferSize bytes, cut to fit.
void copy_to_message_buffer(char* buffer, const char* text);

}  // namespace ostrana
