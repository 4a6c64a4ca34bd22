/* wizard/scheduler_page.h - the task page: turns the operation into a scheduled task.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic; its controls and rules are built on this class.
 */
#pragma once

#include "wizard/resize_prop_page.h"

namespace wizard {

class CParvellExplorerMorvaneSchedulerPage : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPageScheduler;
  static constexpr char kCaption[] = "Parvell Wizard - Setting TASK Parameters";
  static constexpr char kHelpTopic[] = "wizard_createtaskpage.html";

  explicit CParvellExplorerMorvaneSchedulerPage(core::OperationRecord& record, QWidget* parent = nullptr);
};

}  // namespace wizard
