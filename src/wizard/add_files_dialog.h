/* wizard/add_files_dialog.h - the add-files dialog: the files and folders a zip run archives.
 *
 * CAddFilesDlg (dialog 137, "Parvell Wizard - Select Files to Add") is a
 * modal, resizable file browser over one folder at a time: the "&Look In" box
 * (the current folder and its parents; a path typed or pasted there and Enter
 * browses to it), a toolbar (Back through the folders visited before, Up,
 * Delete, and the view menu with its five view commands and "Show Hidden
 * Files"), the list of the folder's folders and files (folders first, each
 * part sorted by name; several may be selected), "Current Location:", OK and
 * Cancel.  Double-click or Enter on a folder enters it.
 *
 * OK turns the selection, in list order, into the engine's item list: per
 * file its path in double quotes and a blank, per folder the same with the
 * whole-content pattern after the path (item_list_entry; the engine adds the
 * folder's whole tree), and fills the record's file list, originating folder
 * (the folder shown), selected items and the two counts.  Nothing selected
 * is answered with string 106 and the dialog stays.  A name the item list
 * cannot carry (a double quote, a file name with "*" or "?", a path the engine
 * would cut) or that the archiver would pass over or mistake (a hidden file, a
 * file name ending in a dot) is refused with its reason before anything is
 * written into the record, as is a name that is gone or Qt could not decode:
 * the archive is never given something the user did not choose.  All but the
 * hidden files (which the archiver leaves out of a folder, too) come along
 * when their folder is chosen instead.
 *
 * Delete asks (string 105), then moves each selected item to the desktop's
 * trash (platform/qt/trash.h); failures are silent, the list shows what is
 * left.
 *
 * Remembered: "AddDlgLastViewStyle" (the last view command; a value that is
 * none of them, such as the default 1, leaves the initial details view) and
 * "CurrentAddFolder" (the first folder shown; without one the home folder,
 * and the nearest folder still there when it was removed since), read at
 * construction and written at destruction; the window placement under
 * "AddNewFilesDlg".  A scheduled run never shows the dialog.
 */
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <string>

class QAction;
class QComboBox;
class QFileSystemModel;
class QItemSelectionModel;
class QLabel;
class QListView;
class QTreeView;
class QAbstractItemView;
class QModelIndex;
class QToolButton;

namespace core {
struct OperationRecord;
}

namespace wizard {

/// The entry of the engine's item list for one chosen item: `"PATH" `, or
/// `"PATH/*.*" ` for a folder.  @p path is absolute, without a trailing "/".
std::string item_list_entry(const QString& path, bool folder);

/// Why @p path cannot be one item of the engine's item list, as the id of the
/// reason's text (kIdsReason...), or 0 when it can.
int item_list_problem(const QString& path, bool folder);

class CAddFilesDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 137;
  static constexpr char kCaption[] = "Parvell Wizard - Select Files to Add";
  static constexpr char kPlacementKey[] = "AddNewFilesDlg";
  static constexpr char kViewStyleValue[] = "AddDlgLastViewStyle";
  static constexpr char kFolderValue[] = "CurrentAddFolder";

  /// Toolbar commands.
  enum Command : int { kCommandBack = 32901, kCommandUp = 32902, kCommandDelete = 32904, kCommandView = 32905 };
  /// View commands of the view menu.
  enum ViewCommand : int {
    kViewSmallIcons = 59408,
    kViewLargeIcons = 59409,
    kViewList = 59410,
    kViewDetails = 59411,
    kViewArrange = 59412,  ///< lays the icons out on their grid again; the style stays
  };

  /// Reads the remembered view and folder; on OK fills @p record.
  explicit CAddFilesDlg(core::OperationRecord& record, QWidget* parent = nullptr);
  /// Writes the remembered view and folder.
  ~CAddFilesDlg() override;

  /// The folder shown.
  QString current_folder() const { return m_folder; }
  /// Shows @p folder (an existing folder); the one shown before goes onto the back history.
  bool browse_to(const QString& folder);
  /// Browses to what was typed into the "&Look In" box: a folder, the folder of
  /// a file (which is then selected), or a stop box naming what is not there.
  void browse_to_typed(const QString& text);
  /// The folders Back returns to, the next one last.
  const QStringList& back_history() const { return m_history; }

  void go_back();
  void go_up();
  /// Asks, then moves the selected items to the trash.
  void delete_selected();
  /// One of the view commands; anything else changes nothing.
  void apply_view_command(int command);
  /// The last view command chosen (what is remembered).
  int view_command() const { return m_view_command; }
  void set_show_hidden(bool show);

  /// The list and the view that shows it now (details or one of the icon styles).
  QFileSystemModel* model() const { return m_model; }
  QAbstractItemView* active_view() const;
  /// Full paths of the selected items, in list order.
  QStringList selected_paths() const;

  void accept() override;
  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_toolbar();
  void show_folder(const QString& folder);
  void fill_look_in();
  void update_commands();
  void enter(const QModelIndex& index);

  core::OperationRecord& m_record;
  QString m_folder;
  QStringList m_history;
  int m_view_command = 1;

  QComboBox* m_look_in = nullptr;
  QFileSystemModel* m_model = nullptr;
  QItemSelectionModel* m_selection = nullptr;
  QListView* m_list = nullptr;
  QTreeView* m_details = nullptr;
  QLabel* m_location = nullptr;
  QAction* m_back = nullptr;
  QAction* m_up = nullptr;
  QAction* m_delete = nullptr;
  QAction* m_hidden = nullptr;
  QToolButton* m_view_button = nullptr;
};

}  // namespace wizard
