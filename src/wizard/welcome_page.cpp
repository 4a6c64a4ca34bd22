/* wizard/welcome_page.cpp - the welcome page: the operation and the monitoring choice. */
#include "wizard/welcome_page.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/operation_record.h"
#include "core/strings.h"
#include "dialogs/program_icons.h"
#include "dialogs/ui_text.h"
#include "platform/qt/settings_store.h"
#include "wizard/my_resize_prop_sheet.h"
#include "wizard/page_flow.h"

namespace wizard {
namespace {

const QString kSection = QStringLiteral("Settings");

struct Choice {
  const char* object_name;
  const char* text;
};
constexpr Choice kChoices[3] = {
    {"radioCreateNew", "&Create New ZIP File"},
    {"radioAddFiles", "Add more files to existing ZIP File."},
    {"radioExtract", "&Extract files from existing ZIP"},
};

/// A remembered operation the page can show: 0, 1 or 2, else 0 (create new).
int valid_operation(int stored) {
  return stored >= core::kRunModeCreate && stored <= core::kRunModeExtract ? stored : core::kRunModeCreate;
}

QFont chosen_font(const QFont& base) {
  QFont font(base);
  font.setFamily(QStringLiteral("Arial"));
  font.setPixelSize(18);
  font.setBold(true);
  return font;
}

}  // namespace

CWelcomePage::CWelcomePage(core::OperationRecord& record, QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent),
      m_add_files(default_add_files_hook()) {
  setObjectName(QStringLiteral("CWelcomePage"));
  if (!record.scheduled_start) {
    platform::SettingsStore store(false);
    record.run_mode = valid_operation(store.read_int(kSection, kOperationValue, 0));
    record.monitoring = store.read_int(kSection, kMonitoringValue, 0) == 1 ? 1 : 0;
  }

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("welcomePicture"));
  picture->setPixmap(dialogs::program_icon(QStringLiteral("parvell")).pixmap(64, 64));
  picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* choices = new QVBoxLayout;
  auto* group = new QButtonGroup(this);
  for (int mode = 0; mode < 3; ++mode) {
    auto* button = new QRadioButton(QString::fromUtf8(kChoices[mode].text), this);
    button->setObjectName(QString::fromLatin1(kChoices[mode].object_name));
    group->addButton(button, mode);
    choices->addWidget(button);
    m_radios[mode] = button;
  }
  connect(group, &QButtonGroup::idClicked, this, &CWelcomePage::choose_operation);

  m_monitor = new QCheckBox(QStringLiteral("&Monitor Operation and Create/Schedule Windows TASK"), this);
  m_monitor->setObjectName(QStringLiteral("checkMonitor"));
  m_monitor->setToolTip(dialogs::load_qstring(core::kIdsMonitorBalloonTip));
  connect(m_monitor, &QCheckBox::clicked, this, [this](bool on) { this->record().monitoring = on ? 1 : 0; });
  choices->addSpacing(24);
  choices->addWidget(m_monitor);
  choices->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(picture, 0, Qt::AlignTop);
  layout->addSpacing(16);
  layout->addLayout(choices, 1);

  // Linux window managers give an application no system menu of its own: the
  // About entry is the page's context menu (and the button row's About button).
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  m_about = new QAction(dialogs::load_qstring(core::kIdsAboutMenuItem), this);
  m_about->setObjectName(QStringLiteral("actionAbout"));
  m_about->setIcon(QIcon::fromTheme(QStringLiteral("help-about")));
  connect(m_about, &QAction::triggered, this, [this] {
    if (CMyResizePropSheet* own = sheet()) own->show_about();
  });
  addAction(separator);
  addAction(m_about);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  show_choice();
}

CWelcomePage::~CWelcomePage() {
  platform::SettingsStore store(record().scheduled_start);  // silent in a scheduled run
  store.write_int(kSection, kOperationValue, record().run_mode);
  store.write_int(kSection, kMonitoringValue, record().monitoring);
}

QRadioButton* CWelcomePage::radio(int run_mode) const {
  return run_mode >= 0 && run_mode < 3 ? m_radios[run_mode] : nullptr;
}

void CWelcomePage::choose_operation(int run_mode) {
  record().run_mode = run_mode;
  show_choice();
}

void CWelcomePage::show_choice() {
  const int chosen = valid_operation(record().run_mode);
  for (int mode = 0; mode < 3; ++mode) {
    m_radios[mode]->setChecked(mode == chosen);
    m_radios[mode]->setFont(mode == chosen ? chosen_font(font()) : font());
  }
  m_monitor->setChecked(record().monitoring != 0);
}

void CWelcomePage::on_set_active() {
  show_choice();
  m_radios[valid_operation(record().run_mode)]->setFocus(Qt::OtherFocusReason);
}

QList<QWizard::WizardButton> CWelcomePage::button_layout() const {
  return {QWizard::Stretch, QWizard::CustomButton1, QWizard::BackButton, QWizard::NextButton,
          QWizard::CancelButton, QWizard::HelpButton};
}

bool CWelcomePage::validatePage() {
  core::OperationRecord& r = record();
  r.create_new = r.run_mode == core::kRunModeCreate ? 1 : 0;
  if (!is_zip_run(r.run_mode)) return true;
  r.originating_folder.clear();  // the add-files dialog fills it with the file list
  return m_add_files && m_add_files(this, r);
}

}  // namespace wizard
