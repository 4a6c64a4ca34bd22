/* run/headless_run.h - a scheduled task run without any window, as cron starts it.
 *
 * The same OperationRun as the performing page, with a presenter that never
 * waits: no password is asked (a scheduled run has none), an existing file is
 * kept rather than asked about, and the outcome, every note and every message
 * of the engine go to stderr as "parvell: TEXT" lines and, for the engine's
 * messages and result, into the results log as well.  The run ends as soon as
 * the operation has ended; the caller writes the results log.
 */
#pragma once

#include <cstdint>

#include "run/operation_run.h"

namespace run {

/// Runs the verified task in @p record (`run mode` 3).  @return the operation's
/// result: 0 success, OperationRun::kNotRun when nothing was run.
int32_t run_scheduled_task_headless(core::OperationRecord& record, tasklog::TaskLog& log, RunSeams seams = {});

}  // namespace run
