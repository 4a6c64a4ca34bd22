/* tests/support/engine_callbacks.h - recording stand-ins for the engine's callbacks and hooks.
 *
 * Engine tests watch what the engine shows and asks: a MessageRecorder is a
 * command record's lpMessageDisplay that records every call (text offers
 * included), answers by a rule the test sets, and can move the diagnostic log
 * to a file of the test's own (through the text offer, as a caller would).  A
 * BoxRecorder replaces the engine's message-box hook for its lifetime, so no
 * test writes to stderr and every fallback box is seen.
 */
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ostrana.h"

namespace enginetest {

struct DisplayCall {
  int type = 0;
  uint32_t style = 0;
  int code = 0;
  int extra = 0;
  std::string text;
  std::string title;
};

class MessageRecorder {
 public:
  /// The answer for a shown message (not a text offer).  Default: 1 (OK).
  std::function<int(const DisplayCall&)> answer;
  /// Called on every call before answering (a test may call the engine from here).
  std::function<void(const DisplayCall&)> on_call;
  /// For a shown message: text written back into the text buffer (a caller's
  /// answer in words, as for the split-part question); "" leaves it alone.
  std::function<std::string(const DisplayCall&)> reply;
  /// Text replacements offered back for message ids (type 13).
  std::vector<std::pair<int, std::string>> replacements;

  std::vector<DisplayCall> calls;

  /// Moves the diagnostic log of a zip call (message 108) or of an unzip call
  /// (message 101) to @p path.
  void move_zip_diagnostic_log(const std::string& path) { replacements.push_back({108, path}); }
  void move_unzip_diagnostic_log(const std::string& path) { replacements.push_back({101, path}); }

  /// The calls that showed something (every type except the text offer 13).
  std::vector<DisplayCall> shown() const;
  /// The ids of all text offers, in order.
  std::vector<int> offered_ids() const;

  static int proc(int type, uint32_t style, int code, int extra, char* text, char* title, void* user);
};

class BoxRecorder {
 public:
  explicit BoxRecorder(int answer = OSTRANA_ID_OK);
  ~BoxRecorder();
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  int answer;
  std::vector<DisplayCall> calls;  ///< type and code are 0; style as given to the hook
};

/// The whole content of a text file ("" when it does not exist).
std::string read_text_file(const std::string& path);

/// The engine's default diagnostic log ($XDG_STATE_HOME/Ostrana/OSTRANA.LOG).
std::string default_diagnostic_log();

}  // namespace enginetest
