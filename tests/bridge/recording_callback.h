/* tests/bridge/recording_callback.h - a UI progress callback that records every notification.
 *
 * Bridge tests stand where the performing page stands: they hand the bridge a
 * RecordingCallback, which keeps each notification (code, text, value, and
 * for 272 the information block) and answers by a rule the test sets, so a
 * test can press Stop at a chosen moment or answer an overwrite question.
 */
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bridge/ui_progress.h"

namespace bridgetest {

struct Notice {
  uint32_t code = 0;
  std::string text;
  bool text_was_null = false;
  int32_t value = 0;
  bool has_info = false;
  bridge::OverwriteInfo info;
  bool has_answer = false;
  bool has_new_name = false;
};

class RecordingCallback : public bridge::UiProgressCallback {
 public:
  /// Answers a notification; may write *new_name and *answer (272).  Default: 0.
  std::function<int32_t(const Notice&, std::string* new_name, int32_t* answer)> respond;

  std::vector<Notice> notices;

  int32_t notify(uint32_t code, const char* text, int32_t value, void*, const bridge::OverwriteInfo* info,
                 intptr_t, intptr_t, std::string* new_name, std::string*, int32_t* answer) override {
    Notice n;
    n.code = code;
    n.text_was_null = text == nullptr;
    n.text = text ? text : "";
    n.value = value;
    n.has_info = info != nullptr;
    if (info) n.info = *info;
    n.has_answer = answer != nullptr;
    n.has_new_name = new_name != nullptr;
    notices.push_back(n);
    return respond ? respond(n, new_name, answer) : 0;
  }

  /// The notices of one code, in order.
  std::vector<Notice> with_code(uint32_t code) const {
    std::vector<Notice> out;
    for (const Notice& n : notices)
      if (n.code == code) out.push_back(n);
    return out;
  }
};

}  // namespace bridgetest
