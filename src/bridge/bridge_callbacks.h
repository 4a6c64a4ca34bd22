/* bridge/bridge_callbacks.h - the callbacks the bridge gives the engine.
 *
 * Every engine callback of a bridge operation lands here, with the bridge
 * object as its user data, and becomes at most one notification of the
 * operation's UI callback (bridge_state().callback):
 *
 *   major_status       -> 257, after keeping text and value as the last item text
 *   minor_status       -> 256
 *   overwrite_request  -> 272 (overwrite mode 0), or a 256 at 100 % saying
 *                         "Skipping '%s'..." (mode 2) or "Overwritting '%s'..." (mode 3)
 *   message_display    -> no notification: titles from the program's string
 *                         table, warnings and the password question shown in a
 *                         message box, every other message left to the engine
 *
 * A UI handler that throws stops the run: the exception is kept in the bridge
 * object, every later notification answers "stop" without calling the UI, and
 * the operation rethrows it once the engine has returned.  Nothing is thrown
 * into the engine.
 */
#pragma once

#include <cstdint>
#include <string>

#include "bridge/bridge_state.h"
#include "ostrana.h"

namespace bridge {

/// Texts the bridge reports itself ("%s" is the item's stored name).
inline constexpr const char kSkippingFormat[] = "Skipping '%s'...";
inline constexpr const char kOverwritingFormat[] = "Overwritting '%s'...";
/// Text of a 288 notification ("%s" is the item's name).
inline constexpr const char kFoundItemFormat[] = "Found Item '%s'...";

/// The string-table id of the title the bridge puts on engine messages: the
/// program's name, which fits every message the engine shows.
inline constexpr int kMessageTitleStringId = 9001;

/// @p format with its one "%s" replaced by @p name (a null name reads as "").
std::string format_with_name(const char* format, const char* name);

/// Sends one notification to the running operation's UI callback.
/// @return its answer; 0 without a callback; 1 (stop) once a handler has thrown.
int32_t notify_ui(EngineBridge& bridge, uint32_t code, const char* text, int32_t value,
                  const OverwriteInfo* item_info = nullptr, std::string* new_name = nullptr,
                  int32_t* answer = nullptr);

/// The output path renamed as the UI asked: @p new_name's last component put in
/// the folder of @p old_output.  @return "" when the name cannot be used (empty,
/// ".", "..", or the path would not fit the engine's 2,048-byte buffer).
std::string renamed_output_path(const std::string& old_output, const std::string& new_name);

/// The result a run hands its caller: an extraction's 49 (items skipped) is 0
/// without a final report; after 0 the UI callback gets the final 257 with the
/// last item text and value, and its answer is the result.
int32_t finish_run(EngineBridge& bridge, int engine_result, bool extraction);

// ---- the callbacks in the command records (user data: the EngineBridge) ----
int major_status(const char* text, int percent, void* user_data);
int minor_status(const char* text, int percent, void* user_data);
int overwrite_request(UNZIPRENAMEINFOEX* info, void* user_data);
int message_display(int type, uint32_t style, int code, int extra, char* text, char* title,
                    void* user_data);

}  // namespace bridge
