/* engine/common/messages.cpp - the engine's message tables and how texts are looked up. */
#include "engine/common/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ostrana {

const char* find_message(const MessageRow* table, int id) {
  if (table == nullptr || id == 0) return nullptr;
  for (const MessageRow* row = table; row->id != 0; ++row)
    if (row->id == id) return row->text;
  return nullptr;
}

const char* MessageBook::builtin(int id) const {
  const char* text = find_message(m_table, id);
  return text ? text : "";
}

const char* MessageBook::text(int id, int slot) {
  if (slot < 0 || slot >= kMessageSlots) slot = 0;
  char* buffer = m_slots[slot];
  copy_to_message_buffer(buffer, builtin(id));
  if (m_channel.proc != nullptr) {
    char second[kMessageBufferSize] = {};
    m_channel.proc(OSTRANA_DISPLAY_TEXT_OFFER, 0, id, 0, buffer, second, m_channel.data);
    buffer[kMessageBufferSize - 1] = '\0';  // whatever the caller did, it stays a string
  }
  return buffer;
}

std::string MessageBook::format(int id, int slot, ...) {
  const char* fmt = text(id, slot);
  va_list args;
  va_start(args, slot);
  std::string out = vformat_checked(fmt, builtin(id), args);
  va_end(args);
  return out;
}

std::string conversion_signature(const char* fmt) {
  std::string sig;
  for (const char* p = fmt; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p != '\0' && std::strchr("-+ #0'", *p)) ++p;  // flags
    if (*p == '*') sig += "* ", ++p;                        // width from an argument
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      if (*p == '*') sig += "* ", ++p;
      while (*p >= '0' && *p <= '9') ++p;
    }
    std::string conv;
    while (*p != '\0' && std::strchr("hlLqjzt", *p)) conv += *p++;
    if (*p == '\0') {
      sig += "?";  // a format ending inside a conversion never matches a sane one
      break;
    }
    conv += *p;
    sig += conv + " ";
  }
  return sig;
}

std::string vformat_checked(const char* fmt, const char* reference, va_list args) {
  // The usual case, the book's own text, needs no comparing of conversions.
  const bool same = fmt != nullptr && (fmt == reference || std::strcmp(fmt, reference) == 0);
  if (!same && (fmt == nullptr || conversion_signature(fmt) != conversion_signature(reference))) fmt = reference;
  char buffer[kMessageBufferSize];
  int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
  if (n < 0) return std::string();
  return std::string(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

std::string format_checked(const char* fmt, const char* reference, ...) {
  va_list args;
  va_start(args, reference);
  std::string out = vformat_checked(fmt, reference, args);
  va_end(args);
  return out;
}

void copy_to_message_buffer(char* buffer, const char* text) {
  size_t n = text ? std::strlen(text) : 0;
  if (n > kMessageBufferSize - 1) n = kMessageBufferSize - 1;
  if (n) std::memcpy(buffer, text, n);
  buffer[n] = '\0';
}

}  // namespace ostrana
