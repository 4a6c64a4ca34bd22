/* wizard/performing_page.h - the performing page: runs the operation and shows its progress.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic; its controls and rules are built on this class.
 */
#pragma once

#include "wizard/resize_prop_page.h"

namespace wizard {

class CTovanelExplWizCallBack : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPagePerforming;
  static constexpr char kCaption[] = "Parvell Wizard - Performing Operation";
  static constexpr char kHelpTopic[] = "wizard_operationpage.html";

  explicit CTovanelExplWizCallBack(core::OperationRecord& record, QWidget* parent = nullptr);
};

}  // namespace wizard
