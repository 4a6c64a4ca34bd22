/* engine/common/engine_api.cpp - engine start and end, hooks, result names.
 *
 * The process-wide part of the C interface (ostrana_engine.h).  The engine
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

const ResultName kZipResultNames[] = {
    {0, "OZ_SUCCESS"},          {1, "OZ_BUSY"},           {2, "OZ_UNEXPECTED_EOF"},
    {3, "OZ_BAD_STRUCTURE"},    {4, "OZ_OUT_OF_MEMORY"},  {5, "OZ_INTERNAL"},
    {6, "OZ_TOO_BIG"},          {7, "OZ_BAD_COMMENT"},    {8, "OZ_INVALID_OR_MEMORY"},
    {9, "OZ_INTERRUPTED"},      {10, "OZ_TEMP_FAILED"},   {11, "OZ_READ_FAILED"},
    {12, "OZ_NOTHING_TO_DO"},   {13, "OZ_MISSING_ARCHIVE"}, {14, "OZ_WRITE_FAILED"},
    {15, "OZ_CREATE_FAILED"},   {16, "OZ_BAD_PARAMETERS"}, {17, "OZ_INCOMPLETE"},
    {18, "OZ_NOT_FOUND"},       {19, "OZ_MEDIA_ERROR"},   {20, "OZ_BAD_MULTIVOLUME"},
    {21, "OZ_MULTIVOLUME_USAGE"}, {22, "OZ_ENCRYPTION_FAILED"},
};

const ResultName kUnzipResultNames[] = {
    {0, "OU_SUCCESS"},           {2, "OU_UNEXPECTED_EOF"},       {3, "OU_BAD_STRUCTURE"},
    {4, "OU_NO_STATE"},          {5, "OU_OUT_OF_MEMORY"},        {9, "OU_FILE_NOT_FOUND"},
    {11, "OU_NOTHING_TO_DO"},    {12, "OU_SAME_VOLUME"},         {22, "OU_DECRYPTION_FAILED"},
    {25, "OU_INDEX_OUT_OF_BOUNDS"}, {26, "OU_MULTIDISK_UNSUPPORTED"}, {28, "OU_CREATE_FAILED"},
    {29, "OU_ARCHIVE_OPEN_FAILED"}, {39, "OU_BAD_CRC"},          {40, "OU_APP_CANCELLED"},
    {41, "OU_SKIPPED_ENCRYPTED"}, {42, "OU_UNKNOWN_METHOD"},     {44, "OU_BAD_PASSWORD"},
    {45, "OU_BUSY"},             {46, "OU_VOLUME_ID"},           {47, "OU_SYNTAX"},
    {48, "OU_USER_CANCELLED"},   {49, "OU_USER_SKIPPED"},        {50, "OU_DISK_FULL"},
};

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
