/* wizard/resize_prop_page.h - the base of every wizard page, and the page ids.
 *
 * Each page is a QWizardPage registered with the sheet under its dialog id
 * (131, 140, 134, 138, 363, 301), so "go to the page with dialog id N" is the
 * page's nextId() and "stay on this page" is validatePage() returning false.
 * A page carries its dialog caption (shown as the page title), its help
 * topic and the operation record it fills, handed to it by whoever builds it.
 *
 * Where a page goes is decided by the rules of wizard/page_flow.h from the
 * page's flow_state(); a page the rules do not know goes on to the next page
 * in the order the sheet was given its pages (QWizard's own default would
 * follow the ascending ids instead).
 *
 * What a page shows in the button row (Back, Next, Finish, ...) is its
 * button_layout(), applied by the sheet each time the page becomes active;
 * whether Next or Finish is offered follows from the rules, whether it is
 * enabled from isComplete().  on_set_active() runs on every activation,
 * forward and back (QWizard's initializePage() runs on forward moves only).
 */
#pragma once

#include <QList>
#include <QString>
#include <QWizard>
#include <QWizardPage>

namespace core {
struct OperationRecord;
}

namespace wizard {

class CMyResizePropSheet;
struct FlowState;

/// Dialog ids of the pages; they are the sheet's page ids.
enum PageId : int {
  kPageWelcome = 131,
  kPagePickZipFile = 140,
  kPagePickUnzipFolder = 134,
  kPageExtraParameters = 138,
  kPageScheduler = 363,
  kPagePerforming = 301,
};

class CMyResizePropPage : public QWizardPage {
  Q_OBJECT
 public:
  CMyResizePropPage(int dialog_id, const QString& caption, const QString& help_topic,
                    core::OperationRecord& record, QWidget* parent = nullptr);

  int dialog_id() const { return m_dialog_id; }
  QString caption() const { return m_caption; }
  QString help_topic() const { return m_help_topic; }
  core::OperationRecord& record() const { return m_record; }
  /// The sheet the page is on, or nullptr.
  CMyResizePropSheet* sheet() const;

  /// What the page rules look at: the record's run mode and monitoring.
  virtual FlowState flow_state() const;
  /// The page Next leads to (page_flow.h), or -1 when the page offers none.
  int nextId() const override;
  /// The page Finish leads to without closing the sheet, or -1 when Finish closes it.
  int finish_target() const;

  /// The buttons of the button row while this page is active.
  virtual QList<QWizard::WizardButton> button_layout() const;
  /// Runs each time the page becomes the active page.
  virtual void on_set_active() {}

 private:
  int m_dialog_id;
  QString m_caption;
  QString m_help_topic;
  core::OperationRecord& m_record;
};

}  // namespace wizard
