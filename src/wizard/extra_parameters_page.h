/* wizard/extra_parameters_page.h - the extra-parameters page: options of the zip run and of the task.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic.  The page offers Finish without monitoring (it leads to the
 * performing page; the sheet stays open) and Next with monitoring (to the
 * task page).  With delete after on, leaving asks first, with the number of
 * selected items:
 *   Finish: a Yes/No question ("Warning!", string 121);
 *   Next:   the "DeleteZippedFiles" warning ("Warning!", string 364), which the
 *           user may switch off for good.
 * No keeps the user on the page.
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
  static constexpr char kDeleteWarningValue[] = "DeleteZippedFiles";

  explicit CSetExtraParametersPg(core::OperationRecord& record, QWidget* parent = nullptr);

  bool validatePage() override;
};

}  // namespace wizard
