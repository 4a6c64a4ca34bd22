/* wizard/welcome_page.h - the welcome page: the operation and the monitoring choice.
 *
 * Its construction preselects the operation and the monitoring choice the
 * user left the wizard with ("WizardOperationRdButon", "WizardTaskMonitoring";
 * 0 when none is stored) and overwrites `run mode` with it, so "new", "update"
 * and "extract" on the command line give way to the remembered choice.  Its
 * destruction stores both again.  In a scheduled run it neither reads nor
 * writes anything.
 */
#pragma once

#include "wizard/resize_prop_page.h"

namespace wizard {

class CWelcomePage : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPageWelcome;
  static constexpr char kCaption[] = "Welcome to Parvell Ravarave Wizard!";
  static constexpr char kHelpTopic[] = "wizard_welcomepage.html";
  static constexpr char kOperationValue[] = "WizardOperationRdButon";
  static constexpr char kMonitoringValue[] = "WizardTaskMonitoring";

  explicit CWelcomePage(core::OperationRecord& record, QWidget* parent = nullptr);
  ~CWelcomePage() override;
};

}  // namespace wizard
