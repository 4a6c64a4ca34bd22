/* engine/api/engine_api.cpp - engine start and end, hooks, result names.
 *
 * The process-wide part of the C interface (ostrana_engine.h).  It sits above
 * both halves of the engine (it releases their thread states and reads their
 * message tables), so it lives here and not among the common parts they share.  The engine
 * keeps no process-wide state of its own besides the hooks (platform layer)
 * and constant tables: start only notes that it happened, and end releases the
 * calling thread's states (other threads' states go with their threads).
 */
#include <atomic>

#include "engine/common/version.h"
#include "engine/unzip/unzip_messages.h"
#include "engine/unzip/unzip_state.h"
#include "engine/zip/zip_messages.h"
#include "engine/zip/zip_state.h"
#include "ostrana_engine.h"
#include "platform/event_pump.h"
#include "platform/message_box.h"
#include "platform/save_dialog.h"

namespace {

std::atomic<bool> g_started{false};

struct ResultName {
  int code;
  const char* name;
};

#define OSTRANA_RESULT_NAME(name, code) {code, #name},
constexpr ResultName kZipResultNames[] = {OSTRANA_ZIP_RESULTS(OSTRANA_RESULT_NAME)};
constexpr ResultName kUnzipResultNames[] = {OSTRANA_UNZIP_RESULTS(OSTRANA_RESULT_NAME)};
#undef OSTRANA_RESULT_NAME

template <size_t N>
const char* find_name(const ResultName (&names)[N], int code) {
  for (const ResultName& n : names)
    if (n.code == code) return n.name;
  return "?";
}

}  // namespace

extern "C" {

OSTRANA_API int OstranaEngineStart(void) {
  g_started.store(true);
  return 0;
}

OSTRANA_API void OstranaEngineEnd(void) {
  ostrana::zip_state_release();
  ostrana::unzip_state_release();
}

OSTRANA_API void OstranaSetMessageBoxHook(OSTRANA_MESSAGEBOX_HOOK hook, void* context) {
  platform::set_message_box_hook(hook, context);
}

OSTRANA_API void OstranaSetPumpHook(OSTRANA_PUMP_HOOK hook, void* context) {
  platform::set_pump_hook(hook, context);
}

OSTRANA_API void OstranaSetSaveDialogHook(OSTRANA_SAVEDIALOG_HOOK hook, void* context) {
  platform::set_save_dialog_hook(hook, context);
}

OSTRANA_API const char* OstranaZipResultText(int code) { return ostrana::zip_result_builtin_text(code); }

OSTRANA_API const char* OstranaUnzipResultText(int code) { return ostrana::unzip_result_builtin_text(code); }

OSTRANA_API const char* OstranaZipResultName(int code) { return find_name(kZipResultNames, code); }

OSTRANA_API const char* OstranaUnzipResultName(int code) { return find_name(kUnzipResultNames, code); }

OSTRANA_API const char* OstranaVersion(void) { return ostrana::engine_version_text(); }

}
