/* wizard/add_files_dialog.cpp - the add-files dialog: the files and folders a zip run archives.
 *
 * Sections: the item list; building the dialog; browsing; the commands
 * (Back, Up, Delete, the views); OK.
 */
#include "wizard/add_files_dialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/message_boxes.h"
#include "dialogs/program_icons.h"
#include "dialogs/ui_text.h"
#include "platform/qt/settings_store.h"
#include "platform/qt/trash.h"

namespace wizard {
namespace {

const QString kSection = QStringLiteral("Settings");
const QString kPlacementValue = QStringLiteral("WindowPlacement");

/// The longest item the engine takes from an item list, in bytes; it cuts longer ones.
constexpr qsizetype kItemMaxBytes = 4095;
/// What a folder item adds to the folder's path: its whole content.
constexpr char kWholeFolder[] = "/*.*";

/// A theme icon where the desktop has one, else the picture drawn for the program.
QIcon command_icon(const char* theme_name, const char* own_name) {
  return QIcon::fromTheme(QString::fromLatin1(theme_name), dialogs::program_icon(QString::fromLatin1(own_name)));
}

/// The folder to show first: @p remembered, or the nearest of its parents
/// that is still there; the home folder without one.
QString first_folder(const QString& remembered) {
  if (remembered.isEmpty() || !QDir::isAbsolutePath(remembered)) return QDir::homePath();
  QString folder = QDir::cleanPath(remembered);
  while (!QFileInfo(folder).isDir()) {
    const QString parent = QFileInfo(folder).path();
    if (parent == folder) return QDir::homePath();
    folder = parent;
  }
  return folder;
}

struct ViewChoice {
  int command;
  const char* text;
  const char* object_name;
};
constexpr ViewChoice kViewChoices[] = {
    {CAddFilesDlg::kViewLargeIcons, "Lar&ge Icons", "actionLargeIcons"},
    {CAddFilesDlg::kViewSmallIcons, "S&mall Icons", "actionSmallIcons"},
    {CAddFilesDlg::kViewList, "&List", "actionList"},
    {CAddFilesDlg::kViewDetails, "&Details", "actionDetails"},
    {CAddFilesDlg::kViewArrange, "&Arrange Icons", "actionArrange"},
};

}  // namespace

// ---- the item list ------------------------------------------------------------------

std::string item_list_entry(const QString& path, bool folder) {
  std::string entry = "\"";
  entry += path.toStdString();
  if (folder) entry += path == QLatin1String("/") ? "*.*" : kWholeFolder;
  entry += "\" ";
  return entry;
}

int item_list_problem(const QString& path, bool folder) {
  // The engine drops every double quote of an item: the name would change.
  if (path.contains(QLatin1Char('"'))) return core::kIdsReasonQuote;
  // A file's name is the pattern of its item: "*" and "?" would match others.
  const QString name = QFileInfo(path).fileName();
  if (!folder && (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?')))) {
    return core::kIdsReasonWildcard;
  }
  // The archiver leaves hidden files out, and takes "NAME." for NAME without an extension.
  if (!folder && name.startsWith(QLatin1Char('.'))) return core::kIdsReasonHidden;
  if (!folder && name.endsWith(QLatin1Char('.'))) return core::kIdsReasonTrailingDot;
  // Qt cannot name a file whose name is not UTF-8: what it decoded is not there.
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) return core::kIdsReasonGone;
  const qsizetype bytes = path.toUtf8().size() + (folder ? qsizetype(sizeof kWholeFolder - 1) : 0);
  if (bytes > kItemMaxBytes) return core::kIdsReasonTooLong;
  return 0;
}

// ---- building the dialog ------------------------------------------------------------

CAddFilesDlg::CAddFilesDlg(core::OperationRecord& record, QWidget* parent) : QDialog(parent), m_record(record) {
  setObjectName(QStringLiteral("CAddFilesDlg"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setModal(true);
  setSizeGripEnabled(true);

  const platform::SettingsStore store(m_record.scheduled_start);
  m_view_command = store.read_int(kSection, QString::fromLatin1(kViewStyleValue), 1);
  const QString remembered = store.read_string(kSection, QString::fromLatin1(kFolderValue), QString());

  // "Look In": the folder and its parents; a typed path and Enter browse there.
  auto* look_in_label = new QLabel(QStringLiteral("&Look In"), this);
  QFont bold = look_in_label->font();
  bold.setBold(true);
  look_in_label->setFont(bold);
  m_look_in = new QComboBox(this);
  m_look_in->setObjectName(QStringLiteral("lookIn"));
  m_look_in->setEditable(true);
  m_look_in->setInsertPolicy(QComboBox::NoInsert);
  m_look_in->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  m_look_in->setMinimumContentsLength(24);
  m_look_in->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_look_in->lineEdit()->installEventFilter(this);
  look_in_label->setBuddy(m_look_in);
  connect(m_look_in, &QComboBox::activated, this, [this](int at) {
    browse_to(m_look_in->itemData(at).toString());
  });

  auto* toolbar = new QToolBar(this);
  toolbar->setObjectName(QStringLiteral("addFilesToolbar"));
  toolbar->setIconSize(QSize(16, 16));
  toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);

  auto* top = new QHBoxLayout;
  top->addWidget(look_in_label);
  top->addWidget(m_look_in, 1);
  top->addWidget(toolbar);

  // One model, two views over it sharing one selection: the icon styles and
  // the list are one QListView, the details a QTreeView with the columns.
  m_model = new QFileSystemModel(this);
  m_model->setObjectName(QStringLiteral("fileModel"));
  m_model->setReadOnly(true);
  m_model->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot);
  m_model->sort(0, Qt::AscendingOrder);  // folders first, then files, each by name

  m_list = new QListView(this);
  m_list->setObjectName(QStringLiteral("fileList"));
  m_list->setModel(m_model);
  m_details = new QTreeView(this);
  m_details->setObjectName(QStringLiteral("fileDetails"));
  m_details->setModel(m_model);
  m_details->setRootIsDecorated(false);
  m_details->setItemsExpandable(false);
  m_details->setUniformRowHeights(true);
  m_details->setSortingEnabled(true);
  m_details->sortByColumn(0, Qt::AscendingOrder);
  m_details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_details->header()->setStretchLastSection(false);
  const QFontMetrics metrics(font());  // size, type and date readable beside the names
  m_details->header()->resizeSection(1, metrics.horizontalAdvance(QStringLiteral("0000.00 KiB")) + 16);
  m_details->header()->resizeSection(2, metrics.horizontalAdvance(QStringLiteral("plain text document")) + 16);
  m_details->header()->resizeSection(3, metrics.horizontalAdvance(QStringLiteral("09/12/2026 23:59")) + 24);
  m_selection = m_details->selectionModel();
  m_list->setSelectionModel(m_selection);
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_list), static_cast<QAbstractItemView*>(m_details)}) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(false);
    view->installEventFilter(this);
    connect(view, &QAbstractItemView::doubleClicked, this, &CAddFilesDlg::enter);
  }
  m_list->setMovement(QListView::Static);
  m_list->setResizeMode(QListView::Adjust);
  m_list->setUniformItemSizes(true);
  m_list->hide();
  connect(m_selection, &QItemSelectionModel::selectionChanged, this, &CAddFilesDlg::update_commands);

  auto* location_label = new QLabel(QStringLiteral("Current Location:"), this);
  m_location = new QLabel(this);
  m_location->setObjectName(QStringLiteral("currentLocation"));
  m_location->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_location->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* under_selection = new QLabel(QStringLiteral("Under Selection:"), this);
  under_selection->setObjectName(QStringLiteral("underSelection"));
  under_selection->hide();
  auto* location = new QHBoxLayout;
  location->addWidget(location_label);
  location->addWidget(m_location, 1);
  location->addWidget(under_selection);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("buttons"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CAddFilesDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CAddFilesDlg::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_list, 1);
  layout->addWidget(m_details, 1);
  layout->addLayout(location);
  layout->addWidget(buttons);

  build_toolbar();
  toolbar->addAction(m_back);
  toolbar->addAction(m_up);
  toolbar->addAction(m_delete);
  toolbar->addWidget(m_view_button);

  resize(640, 440);
  const QByteArray placement = store.read_bytes(QString::fromLatin1(kPlacementKey), kPlacementValue);
  if (!placement.isEmpty()) restoreGeometry(placement);

  apply_view_command(m_view_command);
  show_folder(first_folder(remembered));
  m_details->setFocus(Qt::OtherFocusReason);
}

CAddFilesDlg::~CAddFilesDlg() {
  platform::SettingsStore store(m_record.scheduled_start);
  store.write_int(kSection, QString::fromLatin1(kViewStyleValue), m_view_command);
  store.write_string(kSection, QString::fromLatin1(kFolderValue), m_folder);
}

void CAddFilesDlg::build_toolbar() {
  m_back = new QAction(command_icon("go-previous", "nav-back"), QStringLiteral("Back"), this);
  m_back->setObjectName(QStringLiteral("actionBack"));
  m_back->setShortcut(QKeySequence::Back);
  m_back->setToolTip(QStringLiteral("Back to the previous folder (Alt+Left)"));
  connect(m_back, &QAction::triggered, this, &CAddFilesDlg::go_back);

  m_up = new QAction(command_icon("go-up", "nav-up"), QStringLiteral("Up One Level"), this);
  m_up->setObjectName(QStringLiteral("actionUp"));
  m_up->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
  m_up->setToolTip(QStringLiteral("Up one folder (Alt+Up)"));
  connect(m_up, &QAction::triggered, this, &CAddFilesDlg::go_up);

  m_delete = new QAction(command_icon("user-trash", "trash"), QStringLiteral("Delete"), this);
  m_delete->setObjectName(QStringLiteral("actionDelete"));
  m_delete->setShortcut(QKeySequence::Delete);
  // Only in the list: Delete in the "Look In" box deletes a character, never a file.
  m_delete->setShortcutContext(Qt::WidgetShortcut);
  m_delete->setToolTip(QStringLiteral("Move the selected items to the trash (Delete)"));
  connect(m_delete, &QAction::triggered, this, &CAddFilesDlg::delete_selected);
  addAction(m_back);
  addAction(m_up);
  m_list->addAction(m_delete);
  m_details->addAction(m_delete);

  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("viewMenu"));
  for (const ViewChoice& choice : kViewChoices) {
    QAction* action = menu->addAction(QString::fromLatin1(choice.text));
    action->setObjectName(QString::fromLatin1(choice.object_name));
    action->setData(choice.command);
    const int command = choice.command;
    connect(action, &QAction::triggered, this, [this, command] { apply_view_command(command); });
  }
  menu->addSeparator();
  m_hidden = menu->addAction(QStringLiteral("Show &Hidden Files"));
  m_hidden->setObjectName(QStringLiteral("actionShowHidden"));
  m_hidden->setCheckable(true);
  m_hidden->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  connect(m_hidden, &QAction::toggled, this, &CAddFilesDlg::set_show_hidden);
  addAction(m_hidden);

  m_view_button = new QToolButton(this);
  m_view_button->setObjectName(QStringLiteral("viewButton"));
  m_view_button->setIcon(command_icon("view-list", "view-choice"));
  m_view_button->setToolTip(QStringLiteral("View"));
  m_view_button->setMenu(menu);
  m_view_button->setPopupMode(QToolButton::InstantPopup);
}

// ---- browsing ---------------------------------------------------------------------------

bool CAddFilesDlg::browse_to(const QString& folder) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  if (clean == m_folder) return true;
  if (!m_folder.isEmpty()) m_history.push_back(m_folder);
  show_folder(clean);
  return true;
}

void CAddFilesDlg::browse_to_typed(const QString& text) {
  QString path = text.trimmed();
  if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/"))) path.replace(0, 1, QDir::homePath());
  if (!path.isEmpty() && QDir::isRelativePath(path)) path = QDir(m_folder).filePath(path);
  const QFileInfo info(path);
  if (info.isDir()) {
    browse_to(path);
  } else if (info.exists()) {
    // A file: its folder, with the file selected.
    browse_to(info.absolutePath());
    m_selection->select(m_model->index(info.absoluteFilePath()),
                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else {
    dialogs::show_stop_box(this, dialogs::load_qstring(core::kIdsWarningTitle),
                           dialogs::format_qstring(core::kIdsFolderNotFound, text.trimmed().toUtf8().constData()));
    return;
  }
  fill_look_in();
}

void CAddFilesDlg::show_folder(const QString& folder) {
  m_folder = folder;
  m_selection->clearSelection();
  const QModelIndex root = m_model->setRootPath(folder);
  m_list->setRootIndex(root);
  m_details->setRootIndex(root);
  m_location->setText(QDir::toNativeSeparators(folder));
  m_location->setToolTip(m_location->text());
  fill_look_in();
  update_commands();
}

void CAddFilesDlg::fill_look_in() {
  const QSignalBlocker quiet(m_look_in);
  m_look_in->clear();
  QFileIconProvider icons;
  // The folder itself first, then each parent up to "/".
  QString folder = m_folder;
  for (;;) {
    m_look_in->addItem(icons.icon(QFileIconProvider::Folder), folder, folder);
    const QString parent = QFileInfo(folder).path();
    if (parent == folder || folder == QLatin1String("/")) break;
    folder = parent;
  }
  m_look_in->setCurrentIndex(0);
  m_look_in->setEditText(m_folder);
}

void CAddFilesDlg::enter(const QModelIndex& index) {
  if (index.isValid() && m_model->isDir(index)) browse_to(m_model->filePath(index));
}

bool CAddFilesDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter_key = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter_key && watched == m_look_in->lineEdit()) {
      browse_to_typed(m_look_in->currentText());
      return true;  // Enter in the box browses; it never presses OK
    }
    if (enter_key && (watched == m_list || watched == m_details)) {
      const QModelIndex current = static_cast<QAbstractItemView*>(watched)->currentIndex();
      if (current.isValid() && m_model->isDir(current) && m_selection->selectedRows().size() <= 1) {
        enter(current);
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

// ---- the commands -------------------------------------------------------------------------

void CAddFilesDlg::update_commands() {
  m_back->setEnabled(!m_history.isEmpty());
  m_up->setEnabled(m_folder != QLatin1String("/"));  // at the root there is no folder above
  m_delete->setEnabled(m_selection->hasSelection());
}

void CAddFilesDlg::go_back() {
  if (m_history.isEmpty()) return;
  const QString folder = m_history.takeLast();
  if (QFileInfo(folder).isDir()) {
    show_folder(folder);
  } else {
    update_commands();  // gone since: Back goes on from the next one the next time
  }
}

void CAddFilesDlg::go_up() {
  if (m_folder == QLatin1String("/")) return;
  browse_to(QFileInfo(m_folder).path());
}

void CAddFilesDlg::delete_selected() {
  const QStringList paths = selected_paths();
  if (paths.isEmpty()) return;
  if (!dialogs::ask_yes_no(this, dialogs::load_qstring(core::kIdsWarningTitle),
                           dialogs::load_qstring(core::kIdsDeleteSelectedFiles))) {
    return;
  }
  // Failures stay silent: what could not go is still in the list.
  for (const QString& path : paths) platform::move_to_trash(path);
  m_selection->clearSelection();
  update_commands();
}

QAbstractItemView* CAddFilesDlg::active_view() const {
  return m_details->isHidden() ? static_cast<QAbstractItemView*>(m_list) : m_details;
}

void CAddFilesDlg::apply_view_command(int command) {
  switch (command) {
    case kViewLargeIcons:
      m_list->setViewMode(QListView::IconMode);
      m_list->setIconSize(QSize(32, 32));
      m_list->setGridSize(QSize(96, 72));
      m_list->setWordWrap(true);
      break;
    case kViewSmallIcons:
    case kViewList:
      m_list->setViewMode(QListView::ListMode);
      m_list->setIconSize(QSize(16, 16));
      m_list->setGridSize(command == kViewSmallIcons ? QSize(160, 22) : QSize());
      m_list->setFlow(command == kViewSmallIcons ? QListView::LeftToRight : QListView::TopToBottom);
      m_list->setWrapping(true);
      m_list->setWordWrap(false);
      break;
    case kViewDetails:
      break;
    case kViewArrange:
      m_view_command = command;
      m_model->sort(0, Qt::AscendingOrder);
      m_list->doItemsLayout();
      return;
    default:
      return;  // not a view command: the list keeps the style it has
  }
  m_view_command = command;
  const bool details = command == kViewDetails;
  QAbstractItemView* before = active_view();
  QAbstractItemView* after = details ? static_cast<QAbstractItemView*>(m_details) : m_list;
  if (details && m_selection->hasSelection()) {
    // The icon views select names only; the details show whole rows.
    const QItemSelection chosen = m_selection->selection();
    m_selection->select(chosen, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  m_list->setVisible(!details);
  m_details->setVisible(details);
  if (before != after && before->hasFocus()) after->setFocus(Qt::OtherFocusReason);
}

void CAddFilesDlg::set_show_hidden(bool show) {
  if (m_hidden->isChecked() != show) m_hidden->setChecked(show);  // comes back here once
  QDir::Filters filter = QDir::AllEntries | QDir::NoDotAndDotDot;
  if (show) filter |= QDir::Hidden;
  if (m_model->filter() != filter) {
    m_selection->clearSelection();
    m_model->setFilter(filter);
  }
}

QStringList CAddFilesDlg::selected_paths() const {
  QModelIndexList rows = m_selection->selectedRows(0);
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList paths;
  for (const QModelIndex& index : rows) {
    if (index.parent() == active_view()->rootIndex()) paths << m_model->filePath(index);
  }
  return paths;
}

// ---- OK -----------------------------------------------------------------------------------

void CAddFilesDlg::accept() {
  platform::SettingsStore(m_record.scheduled_start)
      .write_bytes(QString::fromLatin1(kPlacementKey), kPlacementValue, saveGeometry());

  QModelIndexList rows = m_selection->selectedRows(0);
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  if (rows.isEmpty()) {
    dialogs::BoxRequest request;
    request.icon = dialogs::BoxIcon::kInformation;
    request.title = dialogs::load_qstring(core::kIdsWarningTitle);
    request.text = dialogs::load_qstring(core::kIdsNoItemsSelected);
    dialogs::show_message_box(this, request);
    return;
  }
  // Every item is checked before the record changes: all of the choice or none of it.
  std::string list;
  std::vector<core::SelectedItem> items;
  int32_t folders = 0;
  int32_t files = 0;
  for (const QModelIndex& index : rows) {
    const QString path = m_model->filePath(index);
    const bool folder = m_model->isDir(index);
    if (const int reason = item_list_problem(path, folder)) {
      dialogs::show_stop_box(this, dialogs::load_qstring(core::kIdsWarningTitle),
                             dialogs::format_qstring(core::kIdsItemCannotBeAdded, path.toUtf8().constData(),
                                                     core::load_string(reason)));
      return;
    }
    items.push_back({index.row(), path.toStdString()});
    (folder ? folders : files) += 1;
    list += item_list_entry(path, folder);
  }
  m_record.originating_folder = m_folder.toStdString();
  m_record.file_list = std::move(list);
  m_record.selected_items = std::move(items);
  m_record.selected_folder_count = folders;
  m_record.selected_file_count = files;
  QDialog::accept();
}

void CAddFilesDlg::done(int result) {
  if (result != QDialog::Accepted) {
    platform::SettingsStore(m_record.scheduled_start)
        .write_bytes(QString::fromLatin1(kPlacementKey), kPlacementValue, saveGeometry());
  }
  QDialog::done(result);
}

}  // namespace wizard
