/* engine/zip/zip_state.cpp - the zip side's per-thread state. */
#include "engine/zip/zip_state.h"

#include <memory>
#include <new>

#include "ostrana_engine.h"

namespace ostrana {
namespace {

thread_local std::unique_ptr<ZipThreadState> t_zip_state;

}  // namespace

ZipThreadState* zip_thread_state(bool create) {
  if (!t_zip_state && create) t_zip_state.reset(new (std::nothrow) ZipThreadState());
  return t_zip_state.get();
}

int zip_state_create() {
  if (t_zip_state && t_zip_state->busy) return OZ_BUSY;
  t_zip_state.reset(new (std::nothrow) ZipThreadState());
  return t_zip_state ? OZ_SUCCESS : OZ_OUT_OF_MEMORY;
}

void zip_state_release() {
  if (t_zip_state && t_zip_state->busy) return;
  t_zip_state.reset();
}

}  // namespace ostrana

extern "C" {

OSTRANA_API int OstranaZipStateCreate(void) { return ostrana::zip_state_create(); }
OSTRANA_API void OstranaZipStateRelease(void) { ostrana::zip_state_release(); }

}
