/* wizard/pick_zip_file_page.cpp - the pick-archive page: names the ZIP archive of every operation. */
#include "wizard/pick_zip_file_page.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimer>

#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/file_filters.h"
#include "dialogs/ui_text.h"
#include "platform/qt/settings_store.h"
#include "wizard/history_combo_box.h"
#include "wizard/page_flow.h"
#include "wizard/pick_dialogs.h"
#include "wizard/verdict_line.h"

namespace wizard {
namespace {

const QString kSection = QStringLiteral("Settings");
constexpr int kBusyRetryMs = 250;  // another operation holds the engine: look again shortly

/// The name a file dialog gave, with the extension of its filter when it has none.
/// A file chosen as it stands is kept; a lower-case twin of the extended name is
/// preferred, since the file system tells "report.jar" from "report.JAR".
QString with_filter_extension(const ChosenFile& chosen) {
  if (QFileInfo(chosen.path).isFile()) return chosen.path;
  const QString extended = name_with_filter_extension(chosen.path, chosen.filter_index);
  if (extended == chosen.path) return extended;
  const QString lower = chosen.path + extended.mid(chosen.path.size()).toLower();
  return QFileInfo(lower).isFile() && !QFileInfo(extended).exists() ? lower : extended;
}

/// @p text as rich text, its "&X" shown as an underlined X (the line names the Back button's key).
QString with_underlined_mnemonic(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
      ++i;
      const QString next = QString(text[i]).toHtmlEscaped();
      out += text[i] == QLatin1Char('&') ? next : QStringLiteral("<u>") + next + QStringLiteral("</u>");
    } else {
      out += QString(text[i]).toHtmlEscaped();
    }
  }
  return out;
}

}  // namespace

CPickZipFileName::CPickZipFileName(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CPickZipFileName"));

  auto* name_label = new QLabel(QStringLiteral("ZIP &File Name:"), this);
  m_name_box = new CMyHistoryComboBoxExtended(QString::fromLatin1(kHistoryList),
                                              CMyHistoryComboBoxExtended::EntryKind::kFiles, this);
  m_name_box->setObjectName(QStringLiteral("comboZipFileName"));
  name_label->setBuddy(m_name_box);
  m_browse = new QPushButton(QStringLiteral("&Browse"), this);
  m_browse->setObjectName(QStringLiteral("buttonBrowse"));
  m_new_zip = new QPushButton(QStringLiteral("&New ZIP"), this);
  m_new_zip->setObjectName(QStringLiteral("buttonNewZip"));
  m_verdict = new VerdictLine(QStringLiteral("verdict"), this);
  m_progress = new QProgressBar(this);
  m_progress->setObjectName(QStringLiteral("progressListing"));
  m_progress->setRange(0, 24);  // the listing reports 0..24
  m_progress->setTextVisible(false);
  m_progress->hide();
  m_pick_folder = new QCheckBox(QStringLiteral("Continue with &Picking an UnZip Folder"), this);
  m_pick_folder->setObjectName(QStringLiteral("checkPickFolder"));
  m_check_box_note = new QLabel(this);
  m_check_box_note->setObjectName(QStringLiteral("labelCheckBoxNote"));
  m_check_box_note->setWordWrap(true);
  m_hint = new QLabel(this);
  m_hint->setObjectName(QStringLiteral("labelHint"));
  m_hint->setWordWrap(true);
  m_selection = new QLabel(this);
  m_selection->setObjectName(QStringLiteral("labelSelection"));
  m_selection->setWordWrap(true);
  m_selection->setTextFormat(Qt::RichText);

  auto* grid = new QGridLayout(this);
  grid->addWidget(name_label, 0, 0, 1, 3);
  grid->addWidget(m_name_box, 1, 0);
  grid->addWidget(m_browse, 1, 1);
  grid->addWidget(m_new_zip, 1, 2);
  grid->addWidget(m_verdict, 2, 0, 1, 3);
  grid->addWidget(m_progress, 3, 0, 1, 3);
  grid->setRowMinimumHeight(4, 12);
  grid->addWidget(m_hint, 5, 0, 1, 3);  // it speaks of the check box below it
  grid->addWidget(m_pick_folder, 6, 0, 1, 3);
  grid->addWidget(m_check_box_note, 7, 0, 1, 3);
  grid->setRowStretch(8, 1);
  grid->addWidget(m_selection, 9, 0, 1, 3);
  grid->setColumnStretch(0, 1);

  if (record.scheduled_start) {
    m_name_box->set_remembering(false);
  } else {
    platform::SettingsStore store(false);
    m_pick_folder->setChecked(store.read_int(kSection, QString::fromLatin1(kCheckBoxValue), 1) != 0);
  }
  m_name_box->load_history();

  m_lister.set_progress_observer([this](const QString& line, int progress) {
    set_valid(false);  // nothing to go on with until the listing has ended
    m_verdict->show_verdict(Verdict{line, dialogs::StatusPicture::kNone, false});
    show_listing_progress(progress);
  });
  // A keystroke only asks for a check: it runs from the event loop, so a
  // listing never runs inside the line edit's own key handling (keys typed
  // during it would meet a half-finished edit), and a burst of keys is judged once.
  m_check_timer = new QTimer(this);
  m_check_timer->setSingleShot(true);
  m_check_timer->setInterval(0);
  connect(m_check_timer, &QTimer::timeout, this, [this] { check_archive(); });
  connect(m_name_box, &QComboBox::editTextChanged, this, &CPickZipFileName::name_edited);
  connect(m_browse, &QPushButton::clicked, this, &CPickZipFileName::browse);
  connect(m_new_zip, &QPushButton::clicked, this, &CPickZipFileName::new_zip);
  connect(m_pick_folder, &QCheckBox::toggled, this, [this] {
    refresh_check_box_note();
    emit completeChanged();  // Next may lead elsewhere now
  });
}

CPickZipFileName::~CPickZipFileName() {
  if (record().scheduled_start) return;
  platform::SettingsStore store(false);
  store.write_int(kSection, QString::fromLatin1(kCheckBoxValue), m_pick_folder->isChecked() ? 1 : 0);
  store.write_string(kSection, QString::fromLatin1(kFileNameValue), QString::fromStdString(record().archive_path));
}

bool CPickZipFileName::continue_to_folder() const { return m_pick_folder->isChecked(); }

void CPickZipFileName::set_continue_to_folder(bool on) { m_pick_folder->setChecked(on); }

QString CPickZipFileName::archive_name() const { return m_name_box->text(); }

bool CPickZipFileName::extraction() const { return record().run_mode == core::kRunModeExtract; }

QString CPickZipFileName::default_destination_folder() const {
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  const QString base = QFileInfo(archive_name()).completeBaseName();
  return desktop + QLatin1Char('/') + (base.isEmpty() ? QString() : base + QLatin1Char('/'));
}

void CPickZipFileName::set_archive_state(const QString& name, bool valid) {
  m_given_name = name.isNull() ? QStringLiteral("") : name;
  m_given_valid = valid;
  {
    const QSignalBlocker quiet(m_name_box);
    m_name_box->set_text(name);
  }
  record().archive_path = name.toStdString();
  m_archive_valid = !valid;  // always tell the sheet
  set_valid(valid);
}

void CPickZipFileName::set_valid(bool valid) {
  if (m_archive_valid == valid) return;
  m_archive_valid = valid;
  emit completeChanged();
}

void CPickZipFileName::name_edited() {
  if (m_checking) {
    check_archive();  // notes the new name and stops a stale listing
  } else {
    m_check_timer->start();
  }
}

bool CPickZipFileName::check_pending() const { return m_checking || m_check_timer->isActive(); }

bool CPickZipFileName::check_archive() {
  if (m_checking) {  // typed while a listing runs (its reports let events through)
    m_check_again = true;
    if (m_lister.running() && m_lister.path() != archive_name()) m_lister.request_stop();
    return false;
  }
  m_checking = true;
  m_check_timer->stop();
  do {
    m_check_again = false;
    const QString name = archive_name();
    record().archive_path = name.toStdString();
    if (!m_given_name.isNull() && name == m_given_name) {
      set_valid(m_given_valid);
      break;
    }
    m_given_name = QString();
    try {
      const ArchiveCheck::Result result = m_check.check(name, extraction());
      switch (result.outcome) {
        case ArchiveCheck::Outcome::kDone:
          m_verdict->show_verdict(result.verdict);
          set_valid(result.verdict.valid);
          break;
        case ArchiveCheck::Outcome::kBusy:
          set_valid(false);
          QTimer::singleShot(kBusyRetryMs, this, [this] {
            if (isVisible()) check_archive();
          });
          break;
        case ArchiveCheck::Outcome::kStopped:  // for a newer name (checked next) or a page left
          set_valid(false);
          m_verdict->clear_verdict();
          break;
      }
    } catch (...) {  // the verdict line stays as it was
      set_valid(false);
    }
  } while (m_check_again);
  m_progress->hide();
  m_checking = false;
  if (extraction()) refresh_check_box_note();
  return m_archive_valid;
}

void CPickZipFileName::show_listing_progress(int progress) {
  m_progress->show();
  m_progress->setValue(progress);
}

void CPickZipFileName::refresh_check_box_note() {
  if (!extraction()) return;
  const QString folder = default_destination_folder();
  record().destination_folder = folder.toStdString();
  m_check_box_note->setText(m_pick_folder->isChecked()
                                ? dialogs::load_qstring(core::kIdsClickNextForFolder)
                                : dialogs::format_qstring(core::kIdsDefaultDesktopFolder, folder.toUtf8().constData()));
}

void CPickZipFileName::on_set_active() {
  core::OperationRecord& r = record();
  const bool extract = extraction();
  const bool create = r.run_mode == core::kRunModeCreate;
  m_hint->setText(dialogs::load_qstring(extract ? core::kIdsNextForFolderPage : core::kIdsNextForParameters));
  m_pick_folder->setVisible(extract);
  m_check_box_note->setVisible(extract);
  m_new_zip->setVisible(create);

  QString name = QString::fromStdString(r.archive_path);
  if (create && name.isEmpty() && !r.originating_folder.empty())
    name = proposed_archive_name(QString::fromStdString(r.originating_folder));
  {
    const QSignalBlocker quiet(m_name_box);
    m_name_box->set_text(name);
  }
  m_selection->setText(extract ? QString()
                               : with_underlined_mnemonic(dialogs::format_qstring(
                                     core::kIdsBackToChangeSelection, static_cast<int>(r.selected_items.size()))));
  check_archive();
  refresh_check_box_note();
  m_name_box->setFocus(Qt::OtherFocusReason);
}

void CPickZipFileName::hideEvent(QHideEvent* event) {
  if (!event->spontaneous() && m_lister.running()) m_lister.request_stop();  // the page was left
  CMyResizePropPage::hideEvent(event);
}

void CPickZipFileName::take_chosen_name(const QString& name) {
  {
    const QSignalBlocker quiet(m_name_box);
    m_name_box->set_text(name);
  }
  check_archive();
}

void CPickZipFileName::browse() {
  const ChosenFile chosen = pick_dialogs().open_file(
      this, dialogs::name_filters_from_pipe_list(QString::fromLatin1(kBrowseArchiveFilters)), archive_name());
  if (!chosen.path.isEmpty()) take_chosen_name(with_filter_extension(chosen));
}

void CPickZipFileName::new_zip() {
  const ChosenFile chosen = pick_dialogs().new_file(
      this, dialogs::name_filters_from_pipe_list(QString::fromLatin1(kNewArchiveFilters)), archive_name());
  if (!chosen.path.isEmpty()) take_chosen_name(chosen.path);
}

FlowState CPickZipFileName::flow_state() const {
  FlowState state = CMyResizePropPage::flow_state();
  state.continue_to_folder = continue_to_folder();
  return state;
}

bool CPickZipFileName::validatePage() {
  if (!check_archive()) return false;
  core::OperationRecord& r = record();
  if (r.run_mode == core::kRunModeExtract) {
    if (!continue_to_folder()) r.destination_folder = default_destination_folder().toStdString();
  } else {
    r.archive_path = archive_name().toStdString();
  }
  return true;
}

}  // namespace wizard
