/* tests/support/engine_callbacks.cpp - recording stand-ins for the engine's callbacks and hooks. */
#include "engine_callbacks.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace enginetest {
namespace {

int record_box(const char* text, const char* title, uint32_t style, void* context) {
  auto* self = static_cast<BoxRecorder*>(context);
  DisplayCall call;
  call.style = style;
  call.text = text ? text : "";
  call.title = title ? title : "";
  self->calls.push_back(call);
  return self->answer;
}

}  // namespace

std::vector<DisplayCall> MessageRecorder::shown() const {
  std::vector<DisplayCall> out;
  for (const DisplayCall& c : calls)
    if (c.type != OSTRANA_DISPLAY_TEXT_OFFER) out.push_back(c);
  return out;
}

std::vector<int> MessageRecorder::offered_ids() const {
  std::vector<int> out;
  for (const DisplayCall& c : calls)
    if (c.type == OSTRANA_DISPLAY_TEXT_OFFER) out.push_back(c.code);
  return out;
}

int MessageRecorder::proc(int type, uint32_t style, int code, int extra, char* text, char* title, void* user) {
  auto* self = static_cast<MessageRecorder*>(user);
  DisplayCall call{type, style, code, extra, text ? text : "", title ? title : ""};
  self->calls.push_back(call);
  if (self->on_call) self->on_call(call);
  if (type == OSTRANA_DISPLAY_TEXT_OFFER) {
    for (const auto& [id, replacement] : self->replacements)
      if (id == code) std::snprintf(text, OSTRANA_MESSAGE_BUFFER_SIZE, "%s", replacement.c_str());
    return -1;
  }
  if (self->reply) {
    std::string back = self->reply(call);
    if (!back.empty()) std::snprintf(text, OSTRANA_MESSAGE_BUFFER_SIZE, "%s", back.c_str());
  }
  return self->answer ? self->answer(call) : OSTRANA_ID_OK;
}

BoxRecorder::BoxRecorder(int answer_) : answer(answer_) { OstranaSetMessageBoxHook(record_box, this); }

BoxRecorder::~BoxRecorder() { OstranaSetMessageBoxHook(nullptr, nullptr); }

std::string read_text_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string default_diagnostic_log() {
  const char* state = std::getenv("XDG_STATE_HOME");
  return std::string(state ? state : "") + "/Ostrana/OSTRANA.LOG";
}

}  // namespace enginetest
