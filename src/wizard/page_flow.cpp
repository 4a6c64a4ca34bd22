/* wizard/page_flow.cpp - which page follows which. */
#include "wizard/page_flow.h"

#include "core/operation_record.h"

namespace wizard {

bool is_zip_run(int run_mode) { return run_mode == core::kRunModeCreate || run_mode == core::kRunModeAdd; }

int next_page(int page, const FlowState& state) {
  switch (page) {
    case kPageWelcome:
      return kPagePickZipFile;
    case kPagePickZipFile:
      if (state.run_mode == core::kRunModeExtract) {
        return state.continue_to_folder ? kPagePickUnzipFolder : kPagePerforming;
      }
      return kPageExtraParameters;
    case kPagePickUnzipFolder:
      return kPagePerforming;
    case kPageExtraParameters:
      return state.monitoring ? kPageScheduler : -1;
    case kPageScheduler:
    case kPagePerforming:
      return -1;
    default:
      return -2;
  }
}

int finish_page(int page, const FlowState& state) {
  switch (page) {
    case kPageExtraParameters:
      return state.monitoring ? -1 : kPagePerforming;
    case kPageScheduler:
      return kPagePerforming;
    default:
      return -1;
  }
}

}  // namespace wizard
