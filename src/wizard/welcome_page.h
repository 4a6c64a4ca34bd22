/* wizard/welcome_page.h - the welcome page: the operation and the monitoring choice.
 *
 * Three radio buttons choose `run mode` ("&Create New ZIP File" 0, "Add more
 * files to existing ZIP File." 1, "&Extract files from existing ZIP" 2; the
 * chosen one in 18-pixel bold Arial) and the check box "&Monitor Operation
 * and Create/Schedule Windows TASK" chooses monitoring; each click writes the
 * record at once.  The page's context menu and the About button of the
 * button row (both "&About Parvell 2.0 Wizard...") open the about box.
 *
 * Its construction preselects the operation and the monitoring choice the
 * user left the wizard with ("WizardOperationRdButon", "WizardTaskMonitoring";
 * 0 when none is stored, and when the stored value is not one of the
 * choices) and overwrites `run mode` with it, so "new", "update" and
 * "extract" on the command line give way to the remembered choice.  Its
 * destruction stores both again.  In a scheduled run it neither reads nor
 * writes anything.
 *
 * Next: create new becomes 1 for `run mode` 0 and 0 otherwise; for the zip
 * runs the originating folder is emptied and the add-files dialog is shown
 * (add_files_hook.h); its Cancel keeps the user on the page.
 */
#pragma once

#include "wizard/add_files_hook.h"
#include "wizard/resize_prop_page.h"

class QAction;
class QCheckBox;
class QRadioButton;

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

  void set_add_files_hook(AddFilesHook hook) { m_add_files = std::move(hook); }

  /// The radio button of @p run_mode (0, 1, 2).
  QRadioButton* radio(int run_mode) const;

  bool validatePage() override;
  QList<QWizard::WizardButton> button_layout() const override;
  void on_set_active() override;

 private:
  void choose_operation(int run_mode);
  void show_choice();

  QRadioButton* m_radios[3] = {};
  QCheckBox* m_monitor = nullptr;
  QAction* m_about = nullptr;
  AddFilesHook m_add_files;
};

}  // namespace wizard
