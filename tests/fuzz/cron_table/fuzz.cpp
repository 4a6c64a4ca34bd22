/* tests/fuzz/cron_table/fuzz.cpp - a user's cron table as the task page reads it.
 *
 * The table comes back from `crontab -l` and holds whatever the user (or
 * anything running as the user) put there.  Each input is cut into lines, its
 * tasks recognised, every task removed and one appended again.  It must end
 * without a fault, give the text back byte for byte (with a final line break),
 * and leave every line that is not one of the removed tasks' lines in place
 * (abort() otherwise).
 */
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tasks/task_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tasks::CronTable table(text);
  const std::string whole = text.empty() || text.back() == '\n' ? text : text + '\n';
  if (table.text() != whole) std::abort();

  auto count_lines = [](const std::string& t) {
    size_t n = 0;
    for (char c : t) n += c == '\n';
    return n;
  };
  const auto found = table.tasks();
  for (const auto& task : found) {
    size_t expected = 0;  // the lines of this name's tasks as the table stands now
    for (const auto& now : table.tasks())
      if (now.name == task.name) expected += now.schedule_line.empty() ? 1 : 2;
    const size_t before = count_lines(table.text());
    table.remove_task(task.name);
    if (table.has_task(task.name) || before - count_lines(table.text()) != expected) std::abort();
  }

  std::string name, comment;
  for (const auto& task : found) {
    const std::string marker = tasks::task_marker_line(task.name, task.comment);
    if (!tasks::parse_task_marker_line(marker, &name, &comment) || name != task.name || comment != task.comment)
      std::abort();
  }
  table.append_task(tasks::task_marker_line("fuzz", "x"), std::string("0 0 * * * true") + tasks::kScheduleLineTag);
  if (!table.has_task("fuzz")) std::abort();
  return 0;
}
