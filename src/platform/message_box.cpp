/* platform/message_box.cpp - the engine's last resort for showing a message. */
#include "platform/message_box.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
MessageBoxHook g_hook = nullptr;
void* g_context = nullptr;

int headless_message_box(const char* text, const char* title, uint32_t style, void*) {
  // One line per message: the engine's texts often end in "\n" already.
  const char* t = text ? text : "";
  size_t n = std::strlen(t);
  while (n > 0 && (t[n - 1] == '\n' || t[n - 1] == '\r')) --n;
  std::fprintf(stderr, "%s: %.*s\n", title ? title : "", static_cast<int>(n), t);
  return safe_answer(style);
}

}  // namespace

void set_message_box_hook(MessageBoxHook hook, void* context) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_hook = hook;
  g_context = context;
}

int show_message_box(const char* text, const char* title, uint32_t style) {
  MessageBoxHook hook;
  void* context;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    hook = g_hook ? g_hook : headless_message_box;
    context = g_context;
  }
  return hook(text, title, style, context);
}

int safe_answer(uint32_t style) {
  switch (style & 0x0F) {
    case 0: return 1;   // OK
    case 1: return 2;   // OK/Cancel -> Cancel
    case 2: return 3;   // Abort/Retry/Ignore -> Abort
    case 3: return 2;   // Yes/No/Cancel -> Cancel
    case 4: return 7;   // Yes/No -> No
    case 5: return 2;   // Retry/Cancel -> Cancel
    case 15: return 2;  // the five answers -> Cancel
    default: return 2;
  }
}

}  // namespace platform
