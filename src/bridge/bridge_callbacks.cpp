/* bridge/bridge_callbacks.cpp - the callbacks the bridge gives the engine.
 *
 * The overwrite callback is the engine's extended rename callback: the engine
 * calls it for every item of an extraction before the item's file is created,
 * whether or not that file exists (the UI decides whether to ask).  It can
 * act only through the output path (a new name), the bridge's overwrite mode
 * and the answer the UI records; the engine itself, run quiet and without its
 * overwrite flag, leaves an existing file in place.
 *
 * Message titles come from the program's string table through the program
 * instance; the engine's texts are never changed (the text offer is declined).
 */
#include "bridge/bridge_callbacks.h"

#include <cstdio>
#include <cstring>

#include "platform/message_box.h"
#include "platform/stop_signals.h"

namespace bridge {
namespace {

EngineBridge& bridge_of(void* user_data) { return *static_cast<EngineBridge*>(user_data); }

// A NUL-terminated text of at most @p avail bytes (the engine's buffers).
std::string bounded(const char* text, size_t avail) { return std::string(text, strnlen(text, avail)); }

// Copies @p text into an engine buffer of @p avail bytes, cut to fit.
void copy_into(char* buffer, size_t avail, const char* text) {
  if (buffer == nullptr || avail == 0) return;
  std::snprintf(buffer, avail, "%s", text);
}

// Puts the program's message title into the engine's title buffer.
void set_title(const EngineBridge& bridge, char* title) {
  if (bridge.instance == nullptr) return;
  if (const char* text = bridge.instance(kMessageTitleStringId))
    copy_into(title, OSTRANA_MESSAGE_BUFFER_SIZE, text);
}

// Display types of the unzip side the bridge treats apart.
constexpr int kDisplayOverwriteQuestion = 8;
constexpr int kDisplayPasswordQuestion = 9;
constexpr int kLetEngineShow = -1;  // the engine shows its own box (or stays quiet)

}  // namespace

std::string format_with_name(const char* format, const char* name) {
  std::string out = format;
  const size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, name ? name : "");
  return out;
}

int32_t notify_ui(EngineBridge& bridge, uint32_t code, const char* text, int32_t value,
                  const OverwriteInfo* item_info, std::string* new_name, int32_t* answer) {
  if (bridge.callback_error) return 1;
  UiProgressCallback* callback = bridge_state().callback;
  if (callback == nullptr) return 0;
  try {
    return callback->notify(code, text, value, &bridge, item_info, 0, 0, new_name, nullptr, answer);
  } catch (...) {
    bridge.callback_error = std::current_exception();
    return 1;
  }
}

std::string renamed_output_path(const std::string& old_output, const std::string& new_name) {
  // Only a file name is taken: a name with folders in it could place the file
  // anywhere, and the question was about this one file in its folder.
  const size_t slash = new_name.find_last_of('/');
  const std::string name = slash == std::string::npos ? new_name : new_name.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return {};
  const size_t folder_end = old_output.find_last_of('/');
  std::string path = folder_end == std::string::npos ? name : old_output.substr(0, folder_end + 1) + name;
  if (path.size() >= sizeof(UNZIPRENAMEINFOEX::szOutputPath)) return {};
  return path;
}

int32_t finish_run(EngineBridge& bridge, int engine_result, bool extraction) {
  if (extraction && engine_result == OU_USER_SKIPPED) return 0;
  if (engine_result != 0) return engine_result;
  BridgeState& state = bridge_state();
  if (state.callback == nullptr) return 0;
  return notify_ui(bridge, kNotifyOverallProgress, state.last_item_text.c_str(), state.last_item_value);
}

int major_status(const char* text, int percent, void* user_data) {
  EngineBridge& bridge = bridge_of(user_data);
  BridgeState& state = bridge_state();
  state.last_item_text = text ? text : "";
  state.last_item_value = percent;
  const int answer = notify_ui(bridge, kNotifyOverallProgress, state.last_item_text.c_str(), percent);
  // A stop signal (a logout, a closed terminal, a kill of the scheduled run)
  // ends the run the way Cancel does: the old archive stays, nothing is left.
  return platform::StopSignals::stop_requested() ? 1 : answer;
}

int minor_status(const char* text, int percent, void* user_data) {
  const int answer = notify_ui(bridge_of(user_data), kNotifyItemProgress, text, percent);
  return platform::StopSignals::stop_requested() ? 1 : answer;
}

int overwrite_request(UNZIPRENAMEINFOEX* info, void* user_data) {
  EngineBridge& bridge = bridge_of(user_data);
  BridgeState& state = bridge_state();
  if (info == nullptr) return state.answer;
  const std::string stored = bounded(info->szStoredName, sizeof info->szStoredName);

  if (bridge.overwrite_mode == kOverwriteSkipAll || bridge.overwrite_mode == kOverwriteAll) {
    const bool skip = bridge.overwrite_mode == kOverwriteSkipAll;
    state.answer = skip ? kAnswerNo : kAnswerAll;
    const std::string line = format_with_name(skip ? kSkippingFormat : kOverwritingFormat, stored.c_str());
    notify_ui(bridge, kNotifyItemProgress, line.c_str(), 100);
    return state.answer;
  }

  OverwriteInfo block;
  block.stored_name = stored;
  block.output_path = bounded(info->szOutputPath, sizeof info->szOutputPath);
  block.dos_date = info->lDosDate;
  block.dos_time = info->lDosTime;
  block.attributes = info->lAttributes;
  block.size = (static_cast<uint64_t>(info->ulSizeHigh) << 32) | info->ulSizeLow;
  std::string new_name;
  notify_ui(bridge, kNotifyOverwrite, nullptr, 0, &block, &new_name, &state.answer);
  if (!new_name.empty() && !block.output_path.empty()) {
    const std::string renamed = renamed_output_path(block.output_path, new_name);
    if (!renamed.empty()) copy_into(info->szOutputPath, sizeof info->szOutputPath, renamed.c_str());
  }
  if (state.answer == kAnswerAll) bridge.overwrite_mode = kOverwriteAll;
  return state.answer;
}

int message_display(int type, uint32_t style, int, int, char* text, char* title, void* user_data) {
  EngineBridge& bridge = bridge_of(user_data);
  switch (type) {
    case OSTRANA_DISPLAY_TEXT_OFFER:
      return kLetEngineShow;  // the engine's texts stay as they are
    case kDisplayOverwriteQuestion:
      return kAnswerAll;  // as Yes, and for the rest of the run
    case kDisplayPasswordQuestion:
    case OSTRANA_DISPLAY_WARNING:
      set_title(bridge, title);
      return platform::show_message_box(text ? text : "", title ? title : "", style | OSTRANA_MB_TASKMODAL);
    default:
      set_title(bridge, title);
      return kLetEngineShow;
  }
}

}  // namespace bridge
