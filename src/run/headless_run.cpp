/* run/headless_run.cpp - a scheduled task run without any window, as cron starts it. */
#include "run/headless_run.h"

#include <cstdio>
#include <string>

#include "log/task_log.h"
#include "platform/message_box.h"

namespace run {
namespace {

void print_line(const std::string& text) { std::fprintf(stderr, "parvell: %s\n", text.c_str()); }

class HeadlessPresenter final : public RunPresenter {
 public:
  void show_line(RunLine line, const std::string& text, bool) override {
    if (line == RunLine::kOutcome || line == RunLine::kNote) print_line(text);
  }
};

// A message the engine shows itself: onto stderr and into the results log,
// answered the safe way.
int log_engine_message(const char* text, const char* title, uint32_t style, void* context) {
  auto* log = static_cast<tasklog::TaskLog*>(context);
  const std::string line = text ? text : "";
  print_line((title && *title ? std::string(title) + ": " : std::string()) + line);
  log->add_entry(line, "");
  return platform::safe_answer(style);
}

class MessageHookScope {
 public:
  explicit MessageHookScope(tasklog::TaskLog& log) { platform::set_message_box_hook(log_engine_message, &log); }
  ~MessageHookScope() { platform::set_message_box_hook(nullptr, nullptr); }
};

}  // namespace

int32_t run_scheduled_task_headless(core::OperationRecord& record, tasklog::TaskLog& log, RunSeams seams) {
  HeadlessPresenter presenter;
  MessageHookScope messages(log);
  OperationRun operation(record, log, presenter, std::move(seams));
  operation.page_created();
  if (operation.prepare() == OperationRun::Preparation::kDeclined) return operation.result();
  operation.perform();
  operation.complete();
  return operation.result();
}

}  // namespace run
