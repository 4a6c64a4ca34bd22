/* tasks/cron_schedule.h - one scheduled task as the schedule line of a cron table.
 *
 * The task page describes a task the way a scheduler trigger does: a begin
 * date and time, an optional end date, a frequency, the program with its
 * parameters and a working folder.  Cron knows none of begin, end or "once",
 * so a task becomes five time fields and a command whose date guard lets it
 * through only on the right days:
 *
 *   Once     MM HH D M *   and today is the begin date
 *   Daily    MM HH * * *   and today is on or after the begin date
 *   Weekly   MM HH * * W   (W the begin date's weekday), the same guard
 *   Monthly  MM HH D * *   (D the begin day: a 31st runs only in months that
 *                          have one), the same guard
 *
 * and, when an end date is given, today is not after it.  "Today" is
 * `date -I` in the job's local time, cron's own clock; a guard that cannot
 * read the date lets nothing through.
 *
 * The command is run by cron through /bin/sh, after cron has turned every
 * unescaped "%" into a line break (and, depending on the cron, taken
 * backslashes before "%" and "\" away).  So every text of the task goes into
 * the command as one single-quoted shell word in which "%" and "\" never
 * appear raw: they are spelled $(printf '\045') and $(printf '\134').  Cron then
 * passes the command on unchanged, and the shell can be handed any name: blanks,
 * quotes, "$(...)", backquotes are all plain characters inside the quotes.
 * Control characters (a line break would end the cron line) are refused, as is
 * a command longer than cron accepts.
 *
 * The schedule line ends in a shell comment, kScheduleLineTag, which marks it
 * as one of ours in the table (tasks/task_table.h).
 */
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tasks {

/// Frequencies of the task page's list, in its order.
enum TaskFrequency : int {
  kFrequencyOnce = 1,
  kFrequencyDaily = 2,
  kFrequencyWeekly = 3,
  kFrequencyMonthly = 4,
};

/// What the task page hands to the registration, built anew for each attempt.
struct TaskDescription {
  uint16_t begin_year = 0;     ///< 0: no begin date (refused)
  uint16_t begin_month = 0;    ///< 1-12
  uint16_t begin_weekday = 0;  ///< 0 = Sunday; informative, the weekday is computed from the date
  uint16_t begin_day = 0;
  uint16_t begin_hour = 0;
  uint16_t begin_minute = 0;
  uint16_t end_year = 0;  ///< 0: no end date
  uint16_t end_month = 0;
  uint16_t end_day = 0;
  int frequency = kFrequencyOnce;   ///< TaskFrequency
  std::string application_name;     ///< the program's own full path
  std::string parameters;           ///< its parameters, "/scheduled \"PATH\" "
  std::string working_folder;       ///< changed to before the start when not empty
  std::string account_name;         ///< the table's account when set_account
  std::string password;             ///< not needed for a user's own jobs; never written
  std::string comment;
  bool set_account = false;         ///< account_name names the account whose table is used
};

/// Cron's longest command (cron 3.0 refuses 999 characters and more).
inline constexpr size_t kMaxCronCommandBytes = 998;
/// The comment that ends every schedule line this program writes.
inline constexpr char kScheduleLineTag[] = " #parvell-task";

/// Day of the week of a Gregorian date, 0 = Sunday ... 6 = Saturday.
int weekday_of(int year, int month, int day);

/// True for a real Gregorian date from the year 1 on.
bool is_valid_date(int year, int month, int day);

/// @p path between double quotes, unless it begins with one already.  Unlike
/// the program's old 260-character buffer the result is never cut: a cut path
/// would name another file.
std::string enclose_in_quotes(const std::string& path);

/// Splits a parameter text into arguments.  Blanks and tabs separate them; an
/// argument that begins with a double quote runs to the next double quote that
/// is followed by a blank or the end (or to the end when there is none), and
/// loses both quotes, so "/scheduled \"/a b/c\" " gives {"/scheduled", "/a b/c"}
/// and a path holding quotes itself comes through whole.
std::vector<std::string> split_parameters(std::string_view parameters);

/// @p text as one /bin/sh word that cron passes on unchanged (see above).
/// @return false for a text with a control character.
bool shell_word_for_cron(std::string_view text, std::string* word_ret);

/// The five time fields "MM HH DOM MON DOW" of @p task.
std::string cron_time_fields(const TaskDescription& task);

/// The shell condition that holds only on the days @p task may run.
std::string cron_date_guard(const TaskDescription& task);

/// The schedule line of @p task: time fields, guard, cd, the program and its
/// arguments, the tag; no line break.
/// @return false (with the reason in @p reason_ret) when the task cannot be
/// written: a date, time or frequency out of range, no program, a text with a
/// control character, or a command longer than cron accepts.
bool compose_schedule_line(const TaskDescription& task, std::string* line_ret, std::string* reason_ret = nullptr);

}  // namespace tasks
