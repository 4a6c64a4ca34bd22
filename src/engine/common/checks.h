/* engine/common/checks.h - the engine's one error style.
 *
 * Functions inside the engine return an int result code (0 success, otherwise
 * the code of the side that runs them, ostrana_results.h).  These macros keep
 * every early return in one shape:
 *   RETURN_IF(cond, code)         leave with @p code when @p cond holds;
 *   FORWARD_IF_ERROR(expr)        leave with the result of @p expr when it is not 0;
 *   SAFETY_CHECK(cond)            a check on untrusted archive bytes: leave with the
 *                                 reading side's "structure invalid" (3) when it fails.
 * The zip side uses RETURN_IF with its own structure code where it checks bytes.
 */
#pragma once

#include "ostrana_results.h"

#define OSTRANA_UNLIKELY(x) __builtin_expect(!!(x), 0)

#define RETURN_IF(cond, code)                    \
  do {                                           \
    if (OSTRANA_UNLIKELY(cond)) return (code);   \
  } while (0)

#define FORWARD_IF_ERROR(expr)                   \
  do {                                           \
    int forward_rc_ = (expr);                    \
    if (OSTRANA_UNLIKELY(forward_rc_ != 0)) return forward_rc_; \
  } while (0)

#define SAFETY_CHECK(cond) RETURN_IF(!(cond), OU_BAD_STRUCTURE)
