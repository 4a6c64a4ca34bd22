/* wizard/extra_parameters_page.h - the extra-parameters page: options of the zip run and of the task.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic; its controls and rules are built on this class.
 */
#pragma once

#include "wizard/resize_prop_page.h"

namespace wizard {

class CSetExtraParametersPg : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPageExtraParameters;
  static constexpr char kCaption[] = "Parvell Wizard - Additional ZIP Parameters";
  static constexpr char kHelpTopic[] = "wizard_addparampage.html";

  explicit CSetExtraParametersPg(core::OperationRecord& record, QWidget* parent = nullptr);
};

}  // namespace wizard
