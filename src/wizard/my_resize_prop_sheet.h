/* wizard/my_resize_prop_sheet.h - the wizard sheet that hosts the pages.
 *
 * CMyResizePropSheet is one modal, resizable QWizard in the classic wizard
 * style with a Help button and no Apply button.  It keeps the title, the
 * placement key ("WizardPosData", the settings section its window placement
 * and last page index go to), the framework start page index, the help
 * folder and the name string drawn in the button row with an etched look
 * ("PARVELL" in the interactive wizard).
 *
 * Initialisation (just before the first show) puts the window where the user
 * left it, exactly as stored (also off screen: a placement is the user's,
 * not the sheet's to correct), or centres it on its owner or the screen, and
 * always activates the first page, whatever start page the framework was
 * given.  Closing stores the placement and the index of the page that was
 * active; the settings store keeps both untouched in a scheduled run.
 *
 * Buttons: on each activation the sheet shows the active page's button
 * layout; Next or Finish follow the page rules (wizard/page_flow.h).  Finish
 * on a page whose rules name a page to finish to (the extra-parameters page
 * without monitoring, the task page) validates the page and makes that page
 * active without closing the sheet; elsewhere Finish closes it.
 *
 * Help (the Help button or F1) opens the active page's topic from the help
 * folder, or from the online help address when the topic is not there
 * (wizard/page_help.h).  The About entry (CustomButton1, shown by the pages
 * that list it, and the welcome page's context menu) runs the about handler.
 */
#pragma once

#include <QFont>
#include <QString>
#include <QVector>
#include <QWizard>
#include <functional>
#include <memory>

namespace platform {
class SettingsStore;
}

namespace wizard {

class CMyResizePropPage;

class CMyResizePropSheet : public QWizard {
  Q_OBJECT
 public:
  /// Shows the about box over its argument.
  using AboutHandler = std::function<void(QWidget* parent)>;

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
  /// The active page, or nullptr.
  CMyResizePropPage* active_page() const;

  void set_name_string(const QString& name) { m_name_string = name; update(); }
  QString name_string() const { return m_name_string; }
  QFont name_font() const { return m_name_font; }
  /// Where the name string is drawn (sheet coordinates); empty without a name.
  QRect name_string_rect() const;

  void set_framework_start_page(int index) { m_framework_start_page = index; }
  int framework_start_page() const { return m_framework_start_page; }
  int start_page() const { return m_start_page; }

  QString placement_key() const { return m_placement_key; }
  /// The program's own help file path (kept for the framework; page help uses the help folder).
  QString help_path() const { return m_help_path; }
  /// The folder of the help pages ("" when none was found).
  void set_help_folder(const QString& folder) { m_help_folder = folder; }
  QString help_folder() const { return m_help_folder; }
  /// The online help address the help falls back to (setting "OnlineHelpAddress").
  QString online_help_address() const;

  void set_about_handler(AboutHandler handler) { m_about = std::move(handler); }
  /// Runs the about handler over the sheet.
  void show_about();
  /// Opens the help of the active page.  @return true when something was opened.
  bool show_help();

  /// Index (in page_order) of the page that was active when the sheet closed; -1 before.
  int active_page_at_close() const { return m_active_at_close; }

  /// Settings value names under the placement key.
  static QString placement_value_name() { return QStringLiteral("WindowPlacement"); }
  static QString page_index_value_name() { return QStringLiteral("CurrentPageIndx"); }

  int nextId() const override;
  void setVisible(bool visible) override;
  void done(int result) override;

 public slots:
  /// Finish: to the page the rules name, or closes the sheet.
  void accept() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void initialise();
  bool restore_placement();
  void store_placement();
  void page_activated(int id);
  void keep_button_row_clear(const QList<QWizard::WizardButton>& layout);

  std::unique_ptr<platform::SettingsStore> m_store;
  QString m_placement_key;
  int m_start_page;
  int m_framework_start_page = 0;
  QString m_help_path;
  QString m_help_folder;
  QString m_name_string;
  QFont m_name_font;
  QVector<int> m_order;
  AboutHandler m_about;
  bool m_initialised = false;
  bool m_closed = false;
  int m_active_at_close = -1;
  int m_finish_from = -1;    ///< while Finish moves on: the page it moves from
  int m_finish_target = -1;  ///< and the page it moves to
};

}  // namespace wizard
