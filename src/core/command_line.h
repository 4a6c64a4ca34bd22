/* core/command_line.h - the program's command line.
 *
 * Each argument, left to right, sets `run mode`, so the last one wins:
 * "new" 0, "update" 1, "extract" 2, "scheduled" 3, compared without regard to
 * letter case and with or without one leading "/" or "-"; anything else is
 * the path of a task info file, stored in the record, and selects 3.
 *
 * On this platform "/" also starts every absolute path, so the prefix is only
 * taken off to recognise the four verbs: any other argument is kept whole as
 * the path ("/home/u/x.task_info.txt" stays absolute).
 */
#pragma once

#include <string>
#include <vector>

namespace core {

struct OperationRecord;

/// Applies @p arguments (without the program name) to @p record.
void parse_command_line(const std::vector<std::string>& arguments, OperationRecord& record);

}  // namespace core
