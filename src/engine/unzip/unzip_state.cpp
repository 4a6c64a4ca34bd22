/* engine/unzip/unzip_state.cpp - the unzip side's per-thread state. */
#include "engine/unzip/unzip_state.h"

#include <memory>
#include <new>

#include "ostrana_engine.h"

namespace ostrana {
namespace {

thread_local std::unique_ptr<UnzipThreadState> t_unzip_state;

}  // namespace

UnzipThreadState* unzip_thread_state(bool create) {
  if (!t_unzip_state && create) t_unzip_state.reset(new (std::nothrow) UnzipThreadState());
  return t_unzip_state.get();
}

int unzip_state_create() {
  if (t_unzip_state && t_unzip_state->busy) return OU_BUSY;
  t_unzip_state.reset(new (std::nothrow) UnzipThreadState());
  return t_unzip_state ? OU_SUCCESS : OU_NO_STATE;
}

void unzip_state_release() {
  if (t_unzip_state && t_unzip_state->busy) return;
  t_unzip_state.reset();
}

}  // namespace ostrana

extern "C" {

OSTRANA_API int OstranaUnzipStateCreate(void) { return ostrana::unzip_state_create(); }
OSTRANA_API void OstranaUnzipStateRelease(void) { ostrana::unzip_state_release(); }

}
