/* platform/event_pump.cpp - let the application handle its events during long engine work. */
#include "platform/event_pump.h"

#include <atomic>

namespace platform {
namespace {

// Hook and context are set together before engine calls start; two atomics
// are enough (a call racing an installation may see either hook).
std::atomic<PumpHook> g_hook{nullptr};
std::atomic<void*> g_context{nullptr};

}  // namespace

void set_pump_hook(PumpHook hook, void* context) {
  g_context.store(context);
  g_hook.store(hook);
}

void pump_events() {
  if (PumpHook hook = g_hook.load()) hook(g_context.load());
}

}  // namespace platform
