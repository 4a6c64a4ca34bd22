/* engine/common/diagnostic_dump.h - building the text of a diagnostic log entry.
 *
 * Both sides dump their command record field by field: numbers, pointer
 * values, and the strings and blocks the pointers lead to.  A record may hold
 * any garbage, so strings and blocks are read through the platform's memory
 * probe: a pointer that cannot be read for the length dumped gives the line
 * "???" and the dump goes on.  Each line's format comes from the side's message
 * table (through the text offer); the argument types below must match the
 * built-in formats ("%d", "%ld", "%#08lx", "%#04x").
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/common/messages.h"

namespace ostrana {

class DiagnosticDump {
 public:
  explicit DiagnosticDump(MessageBook& book) : m_book(book) {}

  void add(const std::string& text) { m_text += text; }
  void add(const char* text) { m_text += text; }

  /// A "%d" line.
  void int_line(int id, int value) { m_text += m_book.format(id, 0, value); }
  /// A "%ld" line.
  void long_line(int id, long value) { m_text += m_book.format(id, 0, value); }
  /// A "%#04x" line (the 16-bit option words).
  void word_line(int id, unsigned value) { m_text += m_book.format(id, 0, value); }
  /// A "%#08lx" line with a number.
  void hex_line(int id, unsigned long value) { m_text += m_book.format(id, 0, value); }
  /// A "%#08lx" line with a pointer's value.
  void pointer_line(int id, const void* p) { hex_line(id, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p))); }
  template <typename Fn>
  void function_line(int id, Fn* fn) {
    hex_line(id, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(fn)));
  }

  /// The string at @p p (at most @p max_chars characters) and a line end, or
  /// "???" and a line end when it cannot be read.
  void string_dump(const char* p, size_t max_chars);

  /// The @p nbytes bytes at @p p as they are, then a line end; "???" and a line
  /// end when they cannot be read.
  void block_dump(const void* p, size_t nbytes);

  const std::string& text() const { return m_text; }

 private:
  MessageBook& m_book;
  std::string m_text;
};

}  // namespace ostrana
