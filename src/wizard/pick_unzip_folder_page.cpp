/* wizard/pick_unzip_folder_page.cpp - the pick-folder page: names the extraction folder. */
#include "wizard/pick_unzip_folder_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/ui_text.h"
#include "platform/qt/settings_store.h"
#include "wizard/history_combo_box.h"
#include "wizard/name_checks.h"
#include "wizard/pick_dialogs.h"
#include "wizard/verdict_line.h"

namespace wizard {
namespace {
const QString kSection = QStringLiteral("Settings");
}

CPickUnZipFolderName::CPickUnZipFolderName(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent) {
  setObjectName(QStringLiteral("CPickUnZipFolderName"));

  auto* label = new QLabel(QStringLiteral("&UnZip Folder:"), this);
  m_folder_box = new CMyHistoryComboBoxExtended(QString::fromLatin1(kHistoryList),
                                                CMyHistoryComboBoxExtended::EntryKind::kFolders, this);
  m_folder_box->setObjectName(QStringLiteral("comboUnZipFolder"));
  label->setBuddy(m_folder_box);
  m_browse = new QPushButton(QStringLiteral("&Browse"), this);
  m_browse->setObjectName(QStringLiteral("buttonBrowse"));
  m_verdict = new VerdictLine(QStringLiteral("verdict"), this);

  auto* grid = new QGridLayout(this);
  grid->addWidget(label, 0, 0, 1, 2);
  grid->addWidget(m_folder_box, 1, 0);
  grid->addWidget(m_browse, 1, 1);
  grid->addWidget(m_verdict, 2, 0, 1, 2);
  grid->setRowStretch(3, 1);
  grid->setColumnStretch(0, 1);

  if (record.scheduled_start) {
    m_folder_box->set_remembering(false);
  } else {
    platform::SettingsStore store(false);
    m_folder_box->set_text(store.read_string(kSection, QString::fromLatin1(kFolderValue), QString())
                               .left(kFolderBufferSize));
  }
  m_folder_box->load_history();
  check_folder_text();

  connect(m_folder_box, &QComboBox::editTextChanged, this, [this] { check_folder_text(); });
  connect(m_browse, &QPushButton::clicked, this, &CPickUnZipFolderName::browse);
}

CPickUnZipFolderName::~CPickUnZipFolderName() {
  if (record().scheduled_start) return;
  platform::SettingsStore store(false);
  store.write_string(kSection, QString::fromLatin1(kFolderValue), m_folder_box->text().left(kFolderBufferSize));
}

QString CPickUnZipFolderName::folder() const { return check_folder(m_folder_box->text()).folder; }

bool CPickUnZipFolderName::check_folder_text() {
  const FolderVerdict judged = check_folder(m_folder_box->text());
  m_verdict->show_verdict(judged.verdict);
  if (judged.verdict.valid != m_folder_valid) {
    m_folder_valid = judged.verdict.valid;
    emit completeChanged();
  }
  return m_folder_valid;
}

void CPickUnZipFolderName::set_folder_text(const QString& text) {
  m_folder_box->set_text(text);
  check_folder_text();  // also when the text was already there
}

void CPickUnZipFolderName::on_set_active() {
  check_folder_text();
  m_folder_box->setFocus(Qt::OtherFocusReason);
}

void CPickUnZipFolderName::browse() {
  const QString chosen =
      pick_dialogs().choose_folder(this, dialogs::load_qstring(core::kIdsBrowseUnzipFolder), folder());
  if (!chosen.isEmpty()) set_folder_text(chosen);
}

bool CPickUnZipFolderName::validatePage() {
  if (!check_folder_text()) return false;
  record().destination_folder = folder().toStdString();
  return true;
}

}  // namespace wizard
