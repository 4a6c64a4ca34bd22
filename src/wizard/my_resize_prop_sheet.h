/* wizard/my_resize_prop_sheet.h - the wizard sheet that hosts the pages.
 *
 * CMyResizePropSheet is one modal, resizable QWizard with a help button and
 * no Apply button.  It keeps the title, the placement key ("WizardPosData",
 * the settings section its window geometry and last page index go to), the
 * framework start page index, the help file paths and the name string drawn in
 * the button row with an etched look ("PARVELL" in the interactive wizard).
 *
 * Initialisation (first show) restores the stored geometry, or centres the
 * sheet on its owner, and always activates the first page, whatever start page
 * the framework was given.  Closing stores the geometry and the index of the
 * page that was active; the settings store keeps both untouched in a
 * scheduled run.
 */
#pragma once

#include <QFont>
#include <QString>
#include <QVector>
#include <QWizard>
#include <memory>

namespace platform {
class SettingsStore;
}

namespace wizard {

class CMyResizePropPage;

class CMyResizePropSheet : public QWizard {
  Q_OBJECT
 public:
  /// @p scheduled_run: the sheet serves a scheduled run, which neither reads
  /// nor writes the remembered placement.
  CMyResizePropSheet(const QString& title, const QString& placement_key, int start_page,
                     const QString& help_path, bool scheduled_run, QWidget* parent = nullptr);
  ~CMyResizePropSheet() override;

  /// Adds @p page under its dialog id, after the pages added before.
  void add_page(CMyResizePropPage* page);
  /// Dialog ids in the order the pages were added.
  const QVector<int>& page_order() const { return m_order; }
  /// The page after @p dialog_id in that order, or -1.
  int natural_next(int dialog_id) const;

  void set_name_string(const QString& name) { m_name_string = name; update(); }
  QString name_string() const { return m_name_string; }

  void set_framework_start_page(int index) { m_framework_start_page = index; }
  int framework_start_page() const { return m_framework_start_page; }
  int start_page() const { return m_start_page; }

  QString placement_key() const { return m_placement_key; }
  QString help_path() const { return m_help_path; }
  void set_compiled_help_path(const QString& path) { m_compiled_help_path = path; }
  QString compiled_help_path() const { return m_compiled_help_path; }

  /// Index (in page_order) of the page that was active when the sheet closed; -1 before.
  int active_page_at_close() const { return m_active_at_close; }

  /// Settings value names under the placement key.
  static QString placement_value_name() { return QStringLiteral("WindowPlacement"); }
  static QString page_index_value_name() { return QStringLiteral("CurrentPageIndx"); }

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void initialise();
  void store_placement();

  std::unique_ptr<platform::SettingsStore> m_store;
  QString m_placement_key;
  int m_start_page;
  int m_framework_start_page = 0;
  QString m_help_path;
  QString m_compiled_help_path;
  QString m_name_string;
  QFont m_name_font;
  QVector<int> m_order;
  bool m_initialised = false;
  bool m_closed = false;
  int m_active_at_close = -1;
};

}  // namespace wizard
