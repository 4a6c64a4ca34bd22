/* log/task_log.cpp - the events of a scheduled run and their HTML results log. */
#include "log/task_log.h"

#include <clocale>
#include <locale.h>

#include "core/operation_record.h"
#include "core/strings.h"
#include "log/html_log_writer.h"
#include "platform/local_time.h"

namespace tasklog {
namespace {

constexpr char kModuleName[] = "Parvell Ravarave Wizard Module v2.1";

std::string cut(std::string text, size_t max) {
  if (text.size() > max) text.resize(max);
  return text;
}

locale_t c_locale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

std::string html_escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string format_time(const char* format, const std::tm& time) {
  char buffer[256];
  const size_t n = c_locale() != static_cast<locale_t>(0)
                       ? strftime_l(buffer, sizeof buffer, format, &time, c_locale())
                       : std::strftime(buffer, sizeof buffer, format, &time);
  return std::string(buffer, n);
}

TaskLog::TaskLog() : m_clock(platform::local_time_now), m_folder(platform::current_folder) {}

void TaskLog::set_clock(Clock clock) { m_clock = clock ? std::move(clock) : Clock(platform::local_time_now); }

void TaskLog::set_current_folder(FolderSource folder) {
  m_folder = folder ? std::move(folder) : FolderSource(platform::current_folder);
}

LogEntry TaskLog::make_entry(const std::string& operation_text, const std::string& item_text) const {
  LogEntry entry;
  entry.operation_text = cut(operation_text, kMaxText);
  entry.item_text = cut(item_text, kMaxText);
  entry.date_time_text = cut(format_time("%A, %B %d, %Y - %H:%M:%S", m_clock()), kMaxTimeText);
  return entry;
}

void TaskLog::add_entry(const std::string& operation_text, const std::string& item_text) {
  LogEntry entry = make_entry(operation_text, item_text);
  entry.event_time = cut(format_time("%H:%M:%S", m_clock()), kMaxTimeText);
  m_entries.push_back(std::move(entry));
}

void TaskLog::add_start_entry(const std::string& operation_text, const std::string& item_text) {
  LogEntry entry = make_entry(operation_text, item_text);
  entry.started = 1;
  m_entries.push_back(std::move(entry));
}

void TaskLog::add_entry_from_message(int message_id, const std::string& item_text) {
  const char* text = core::load_string(message_id);
  add_entry(text ? text : "", item_text);
}

void TaskLog::take_task(const core::OperationRecord& record) {
  m_account_name = record.sched_account;
  m_task_name = record.task_name;
  m_log_file_name = record.log_file_name;
  m_log_enabled = record.log_enabled;
}

void TaskLog::clear() {
  m_entries.clear();
  m_account_name.clear();
  m_task_name.clear();
  m_log_file_name.clear();
  m_log_enabled = 0;
  m_document_path.clear();
}

std::string TaskLog::document_path_for_now() const {
  const size_t slash = m_log_file_name.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : m_log_file_name.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? m_log_file_name : m_log_file_name.substr(slash + 1);
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos) base.resize(dot);
  if (folder.empty()) {
    folder = m_folder();
    if (!folder.empty() && folder.back() != '/') folder += '/';
  }
  return folder + base + " [" + format_time("%A, %B, %d at %H-%M-%S", m_clock()) + "].log.html";
}

bool TaskLog::write_log(int result) {
  if (m_log_enabled == 0 || m_log_file_name.empty()) return false;
  try {
    return lay_out(result);
  } catch (...) {
    return false;
  }
}

bool TaskLog::lay_out(int result) {
  m_document_path = document_path_for_now();
  HtmlLogWriter writer;
  if (!writer.open(m_document_path, false, HtmlLogWriter::kCreate, nullptr, 0xFFFFFF, 0x000000)) return false;

  const std::string title_caption = std::string(kModuleName) + " Log File";
  const std::string event_caption =
      "TASK Log activity for '" + format_time("%A, %B, %d", m_clock()) + "'";

  // Title table.  The event table's caption is set once more into the first
  // cell without being written: it counts for the spacing after this table.
  if (!writer.begin_table(1, title_caption.c_str(), 1, 100, HtmlLogWriter::kCenter)) return false;
  writer.set_cell_text(0, "Processing Morvane - " + html_escape(m_task_name));
  writer.set_span_colour(0x9999FF);
  const RowStyle title_style{0xFFFFFF, 5, {}};
  if (!writer.write_row(&title_style, HtmlLogWriter::kSpanRow, HtmlLogWriter::kCenter)) return false;
  writer.set_cell_text(0, event_caption);

  // Event table.
  if (!writer.begin_table(3, event_caption.c_str(), 1, 100, HtmlLogWriter::kLeft)) return false;
  writer.set_highlight_colour(0x339999);
  writer.set_highlight(true);
  writer.set_cell_text(0, "EVENT Time");
  writer.set_cell_text(1, "Operation");
  writer.set_cell_text(2, "Item Processed");
  const RowStyle head_style{0xFFFFFF, 2, {}};
  if (!writer.write_row(&head_style, HtmlLogWriter::kHeaderRow, HtmlLogWriter::kLeft)) return false;
  const RowStyle entry_style{0x000000, 1, {}};
  for (const LogEntry& entry : m_entries) {
    writer.set_cell_text(0, entry.event_time);
    writer.set_cell_text(1, html_escape(entry.operation_text));
    writer.set_cell_text(2, html_escape(entry.item_text));
    if (!writer.write_row(&entry_style, HtmlLogWriter::kHeaderRow, HtmlLogWriter::kLeft)) return false;
  }
  if (m_entries.empty()) {
    writer.set_cell_text(0, "No Additional LOG Information Collected!");
    if (!writer.write_row(nullptr, HtmlLogWriter::kSpanRow, HtmlLogWriter::kLeft)) return false;
  }
  writer.set_cell_text(0, "End Morvane Processing!");
  if (!writer.write_row(nullptr, HtmlLogWriter::kSpanRow, HtmlLogWriter::kCenter)) return false;

  // Result table.
  if (!writer.begin_table(1, "Overall Operation Result", 1, 100, HtmlLogWriter::kCenter)) return false;
  writer.set_cell_text(0, " ");
  writer.set_cell_width(0, 10, false);
  if (!writer.write_row(nullptr, HtmlLogWriter::kSpanRow, HtmlLogWriter::kLeft)) return false;
  writer.set_cell_text(0, result == 0 ? "Successful" : "Not Totally Successful.");
  writer.set_span_colour(result == 0 ? 0x00CC66 : 0xFF0000);
  const RowStyle result_style{0xFFFFFF, 6, {}};
  if (!writer.write_row(&result_style, HtmlLogWriter::kSpanRow, HtmlLogWriter::kLeft)) return false;
  return writer.end_table(true);
}

TaskLog& task_log() {
  static TaskLog log;
  return log;
}

}  // namespace tasklog
