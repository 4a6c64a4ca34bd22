/* wizard/resize_prop_page.h - the base of every wizard page, and the page ids.
 *
 * Each page is a QWizardPage registered with the sheet under its dialog id
 * (131, 140, 134, 138, 363, 301), so "go to the page with dialog id N" is the
 * page's nextId() and "stay on this page" is validatePage() returning false.
 * A page carries its dialog caption (shown as the page title), its help
 * topic and the operation record it fills, handed to it by whoever builds it.  Without a rule of its own a page goes on to the next page in the
 * order the sheet was given its pages (QWizard's own default would follow the
 * ascending ids instead).
 */
#pragma once

#include <QString>
#include <QWizardPage>

namespace core {
struct OperationRecord;
}

namespace wizard {

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

  /// The next page in the sheet's order, or -1 after the last.
  int nextId() const override;

 private:
  int m_dialog_id;
  QString m_caption;
  QString m_help_topic;
  core::OperationRecord& m_record;
};

}  // namespace wizard
