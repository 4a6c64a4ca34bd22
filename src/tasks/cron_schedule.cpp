/* tasks/cron_schedule.cpp - one scheduled task as the schedule line of a cron table. */
#include "tasks/cron_schedule.h"

#include <cstdio>

namespace tasks {
namespace {

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

/// YYYYMMDD as the guard compares it.
std::string date_number(int year, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  return text;
}

/// A word that must not be taken for an option of cd or exec.
std::string not_an_option(const std::string& path) { return !path.empty() && path[0] == '-' ? "./" + path : path; }

bool refuse(std::string* reason_ret, const char* reason) {
  if (reason_ret != nullptr) *reason_ret = reason;
  return false;
}

}  // namespace

int weekday_of(int year, int month, int day) {
  // Days since 1970-01-01 (a Thursday) by the civil-from-days count, March-based years.
  const int y = month <= 2 ? year - 1 : year;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int mp = (month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days = long(era) * 146097 + doe - 719468;
  const long weekday = (days + 4) % 7;
  return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

bool is_valid_date(int year, int month, int day) {
  return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= days_in_month(year, month);
}

std::string enclose_in_quotes(const std::string& path) {
  if (!path.empty() && path[0] == '"') return path;
  return '"' + path + '"';
}

std::vector<std::string> split_parameters(std::string_view text) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < text.size()) {
    if (is_blank(text[i])) {
      ++i;
      continue;
    }
    if (text[i] == '"') {
      size_t close = i + 1;
      while (close < text.size() && !(text[close] == '"' && (close + 1 == text.size() || is_blank(text[close + 1]))))
        ++close;
      args.emplace_back(text.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      size_t end = i;
      while (end < text.size() && !is_blank(text[end])) ++end;
      args.emplace_back(text.substr(i, end - i));
      i = end;
    }
  }
  return args;
}

bool shell_word_for_cron(std::string_view text, std::string* word_ret) {
  std::string word;
  bool quoted = false;  // inside a '...' run
  auto open = [&] {
    if (!quoted) word += '\'';
    quoted = true;
  };
  auto close = [&] {
    if (quoted) word += '\'';
    quoted = false;
  };
  for (char c : text) {
    if (is_control(static_cast<unsigned char>(c))) return false;
    switch (c) {
      case '\'':
        close();
        word += "\"'\"";
        break;
      case '%':
        close();
        word += "\"$(printf '\\045')\"";
        break;
      case '\\':
        close();
        word += "\"$(printf '\\134')\"";
        break;
      default:
        open();
        word += c;
    }
  }
  if (word.empty()) word = "''";
  close();
  *word_ret = std::move(word);
  return true;
}

std::string cron_time_fields(const TaskDescription& t) {
  const std::string time = std::to_string(t.begin_minute) + ' ' + std::to_string(t.begin_hour) + ' ';
  switch (t.frequency) {
    case kFrequencyOnce:
      return time + std::to_string(t.begin_day) + ' ' + std::to_string(t.begin_month) + " *";
    case kFrequencyWeekly:
      return time + "* * " + std::to_string(weekday_of(t.begin_year, t.begin_month, t.begin_day));
    case kFrequencyMonthly:
      return time + std::to_string(t.begin_day) + " * *";
    default:
      return time + "* * *";
  }
}

std::string cron_date_guard(const TaskDescription& t) {
  std::string guard = "t=$(date -I | tr -dc 0-9) && [ \"$t\" ";
  guard += t.frequency == kFrequencyOnce ? "-eq " : "-ge ";
  guard += date_number(t.begin_year, t.begin_month, t.begin_day) + " ]";
  if (t.end_year != 0) guard += " && [ \"$t\" -le " + date_number(t.end_year, t.end_month, t.end_day) + " ]";
  return guard;
}

bool compose_schedule_line(const TaskDescription& t, std::string* line_ret, std::string* reason_ret) {
  if (!is_valid_date(t.begin_year, t.begin_month, t.begin_day) || t.begin_year > 9999)
    return refuse(reason_ret, "the begin date is not a date");
  if (t.begin_hour > 23 || t.begin_minute > 59) return refuse(reason_ret, "the begin time is not a time");
  if (t.end_year != 0 && (!is_valid_date(t.end_year, t.end_month, t.end_day) || t.end_year > 9999))
    return refuse(reason_ret, "the end date is not a date");
  if (t.frequency < kFrequencyOnce || t.frequency > kFrequencyMonthly)
    return refuse(reason_ret, "the frequency is unknown");
  if (t.application_name.empty()) return refuse(reason_ret, "no program to start");

  std::string command = cron_date_guard(t);
  std::string word;
  if (!t.working_folder.empty()) {
    if (!shell_word_for_cron(not_an_option(t.working_folder), &word))
      return refuse(reason_ret, "the working folder holds a control character");
    command += " && cd " + word;
  }
  if (!shell_word_for_cron(not_an_option(t.application_name), &word))
    return refuse(reason_ret, "the program path holds a control character");
  command += " && exec " + word;
  for (const std::string& arg : split_parameters(t.parameters)) {
    if (!shell_word_for_cron(arg, &word)) return refuse(reason_ret, "a parameter holds a control character");
    command += ' ' + word;
  }
  command += kScheduleLineTag;
  if (command.size() > kMaxCronCommandBytes) return refuse(reason_ret, "the command is longer than cron accepts");
  *line_ret = cron_time_fields(t) + ' ' + command;
  return true;
}

}  // namespace tasks
