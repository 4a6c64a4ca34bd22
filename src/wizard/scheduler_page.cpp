/* wizard/scheduler_page.cpp - the task page: turns the operation into a scheduled task. */
#include "wizard/scheduler_page.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QEventLoop>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "core/operation_record.h"
#include "core/product.h"
#include "core/strings.h"
#include "dialogs/message_boxes.h"
#include "dialogs/ui_text.h"
#include "dialogs/warn_message_box.h"
#include "platform/crontab.h"
#include "platform/qt/settings_store.h"
#include "tasks/task_scheduling.h"
#include "wizard/my_resize_prop_sheet.h"

namespace wizard {
namespace {

constexpr char kHeadText[] =
    "Please set the required parameters to create the Morvane. Pres Finish when done to schedule and register "
    "your Morvane and with the Operating System!";
constexpr char kCommentFormat[] = "Morvane Scheduled by '%s', %s at %02d:%03d:%02d.";
constexpr char kModuleName[] = "Parvell Ravarave Wizard Module v2.1";
constexpr const char* kFrequencies[] = {"Once", "Daily", "Weekly", "Monthly"};

/// The operation word of the task name for @p run_mode.
const char* operation_word(int run_mode) {
  switch (run_mode) {
    case core::kRunModeCreate:
      return "NewZIP";
    case core::kRunModeAdd:
      return "UpdateZIP";
    default:
      return "UnZIP";
  }
}

/// Waits @p ms while the window keeps painting; the user's input waits too.
void wait_painting(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QLabel* buddy_label(const char* text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setBuddy(buddy);
  return label;
}

QString quoted(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CParvellExplorerMorvaneSchedulerPage::CParvellExplorerMorvaneSchedulerPage(core::OperationRecord& record,
                                                                           QWidget* parent)
    : CMyResizePropPage(kDialogId, QString::fromUtf8(kCaption), QString::fromUtf8(kHelpTopic), record, parent),
      m_clock([] { return QDateTime::currentDateTime(); }),
      m_wait(wait_painting) {
  setObjectName(QStringLiteral("CParvellExplorerMorvaneSchedulerPage"));

  auto* head = new QLabel(QString::fromUtf8(kHeadText), this);
  head->setObjectName(QStringLiteral("labelHeadText"));
  head->setWordWrap(true);

  // Morvane Information: name, comment, replace.
  auto* information = new QGroupBox(QStringLiteral("Morvane Information"), this);
  information->setObjectName(QStringLiteral("groupInformation"));
  m_name = new QLineEdit(information);
  m_name->setObjectName(QStringLiteral("editTaskName"));
  m_name->setToolTip(QStringLiteral("Insert a name string for your Morvane!"));
  m_comment = new QLineEdit(information);
  m_comment->setObjectName(QStringLiteral("editTaskComment"));
  m_comment->setToolTip(QStringLiteral("Insert a comment string for your Morvane!"));
  m_replace = new QCheckBox(QStringLiteral("Rep&lace task if it exists"), information);
  m_replace->setObjectName(QStringLiteral("checkReplace"));
  m_replace->setToolTip(QStringLiteral("Leave this check if your Morvane already exists"));
  auto* information_form = new QFormLayout(information);
  information_form->addRow(buddy_label("Task &Name:", m_name, information), m_name);
  information_form->addRow(buddy_label("Task Co&mment:", m_comment, information), m_comment);
  information_form->addRow(QString(), m_replace);

  // Additional TASK Parameters: when it starts and ends.
  auto* parameters = new QGroupBox(QStringLiteral("Additional TASK Parameters"), this);
  parameters->setObjectName(QStringLiteral("groupParameters"));
  m_start_date = new QDateEdit(parameters);
  m_start_date->setObjectName(QStringLiteral("dateStart"));
  m_start_date->setCalendarPopup(true);
  m_start_time = new QTimeEdit(parameters);
  m_start_time->setObjectName(QStringLiteral("timeStart"));
  m_has_end = new QCheckBox(QStringLiteral("Endin&g date:"), parameters);
  m_has_end->setObjectName(QStringLiteral("checkEndDate"));
  m_end_date = new QDateEdit(parameters);
  m_end_date->setObjectName(QStringLiteral("dateEnd"));
  m_end_date->setCalendarPopup(true);
  connect(m_has_end, &QCheckBox::toggled, m_end_date, &QWidget::setEnabled);
  auto* parameters_form = new QFormLayout(parameters);
  parameters_form->addRow(buddy_label("S&tarting date:", m_start_date, parameters), m_start_date);
  parameters_form->addRow(buddy_label("Starti&ng time:", m_start_time, parameters), m_start_time);
  parameters_form->addRow(m_has_end, m_end_date);

  // Create under Account: a user's own table needs no password.
  auto* account = new QGroupBox(QStringLiteral("Create under Account"), this);
  account->setObjectName(QStringLiteral("groupAccount"));
  m_account = new QLineEdit(account);
  m_account->setObjectName(QStringLiteral("editAccount"));
  m_account->setEnabled(platform::running_as_superuser());
  m_password = new QLineEdit(account);
  m_password->setObjectName(QStringLiteral("editPassword"));
  m_password->setEchoMode(QLineEdit::Password);
  m_password->setEnabled(false);
  auto* account_form = new QFormLayout(account);
  account_form->addRow(buddy_label("&Account:", m_account, account), m_account);
  account_form->addRow(buddy_label("Password:", m_password, account), m_password);

  // &Frequency.
  auto* frequency = new QGroupBox(QStringLiteral("&Frequency"), this);
  frequency->setObjectName(QStringLiteral("groupFrequency"));
  m_frequency = new QListWidget(frequency);
  m_frequency->setObjectName(QStringLiteral("listFrequency"));
  for (const char* item : kFrequencies) m_frequency->addItem(QString::fromLatin1(item));
  m_frequency->setMaximumHeight(m_frequency->sizeHintForRow(0) * 5 + 2 * m_frequency->frameWidth());
  auto* frequency_box = new QVBoxLayout(frequency);
  frequency_box->addWidget(buddy_label("Morvane &Frequency", m_frequency, frequency));
  frequency_box->addWidget(m_frequency);

  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("labelStatus"));
  m_status->setWordWrap(true);
  m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_status->hide();

  auto* grid = new QGridLayout;
  grid->addWidget(information, 0, 0);
  grid->addWidget(account, 0, 1);
  grid->addWidget(parameters, 1, 0);
  grid->addWidget(frequency, 1, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(head);
  layout->addLayout(grid);
  layout->addWidget(m_status);
  layout->addStretch(1);

  connect(m_name, &QLineEdit::textChanged, this, &QWizardPage::completeChanged);
}

QString CParvellExplorerMorvaneSchedulerPage::time_format_without_seconds(const QString& format) {
  // Drop the time zone ("t" outside quotes) with the blanks before it.
  QString text;
  bool in_quote = false;
  for (const QChar ch : format) {
    if (ch == QLatin1Char('\'')) in_quote = !in_quote;
    if (!in_quote && ch == QLatin1Char('t')) {
      while (text.endsWith(QLatin1Char(' '))) text.chop(1);
      continue;
    }
    text += ch;
  }
  // The separator: what stands between the hours and the next field.
  int at = 0;
  while (at < text.size() && text[at] != QLatin1Char('h') && text[at] != QLatin1Char('H')) ++at;
  while (at < text.size() && (text[at] == QLatin1Char('h') || text[at] == QLatin1Char('H'))) ++at;
  int end = at;
  while (end < text.size() && !text[end].isLetter() && text[end] != QLatin1Char('\'')) ++end;
  const QString separator = text.mid(at, end - at);
  if (!separator.isEmpty()) {
    int found = text.indexOf(separator + QStringLiteral("ss"));
    int length = static_cast<int>(separator.size()) + 2;
    if (found < 0) {
      found = text.indexOf(separator + QStringLiteral("s"));
      length = static_cast<int>(separator.size()) + 1;
    }
    if (found >= 0) text.remove(found, length);
  }
  return text.trimmed();
}

void CParvellExplorerMorvaneSchedulerPage::initializePage() {
  core::OperationRecord& r = record();
  r.stored_operation = r.run_mode;

  const std::string& archive = r.archive_path;
  const size_t slash = archive.find_last_of('/');
  const std::string file_name = slash == std::string::npos ? archive : archive.substr(slash + 1);
  m_name->setText(QStringLiteral("Scheduled %1 %2")
                      .arg(QString::fromLatin1(operation_word(r.run_mode)), QString::fromStdString(file_name)));

  const QDateTime now = m_clock();
  const QLocale locale;
  const QString weekday = locale.dayName(now.date().dayOfWeek(), QLocale::LongFormat);
  m_comment->setText(QString::asprintf(kCommentFormat, kModuleName, weekday.toUtf8().constData(), now.time().hour(),
                                       now.time().minute(), now.time().second()));
  m_comment->setCursorPosition(0);

  m_start_date->setDate(now.date());
  m_start_time->setDisplayFormat(time_format_without_seconds(locale.timeFormat(QLocale::LongFormat)));
  m_start_time->setTime(QTime(now.time().hour(), now.time().minute()));
  m_end_date->setDate(now.date());
  m_has_end->setChecked(true);
  m_end_date->setEnabled(true);
  m_account->setText(QString::fromStdString(platform::login_name()));
  m_password->clear();
  m_frequency->setCurrentRow(0);
  m_replace->setChecked(true);
  m_status->clear();
  m_status->hide();
}

void CParvellExplorerMorvaneSchedulerPage::on_set_active() {
  m_name->setFocus(Qt::OtherFocusReason);
  m_name->selectAll();
  emit completeChanged();
}

bool CParvellExplorerMorvaneSchedulerPage::isComplete() const { return !m_name->text().isEmpty(); }

tasks::TaskPageValues CParvellExplorerMorvaneSchedulerPage::values() const {
  tasks::TaskPageValues v;
  v.task_name = m_name->text().toStdString();
  v.comment = m_comment->text().toStdString();
  v.account = m_account->text().toStdString();
  v.password = m_password->text().toStdString();
  const QDate start = m_start_date->date();
  v.begin_year = start.year();
  v.begin_month = start.month();
  v.begin_day = start.day();
  v.begin_hour = m_start_time->time().hour();
  v.begin_minute = m_start_time->time().minute();
  v.has_end_date = m_has_end->isChecked();
  if (v.has_end_date) {
    const QDate end = m_end_date->date();
    v.end_year = end.year();
    v.end_month = end.month();
    v.end_day = end.day();
  }
  v.frequency = m_frequency->currentRow() < 0 ? tasks::kFrequencyOnce : m_frequency->currentRow() + 1;
  v.replace = m_replace->isChecked();
  return v;
}

bool CParvellExplorerMorvaneSchedulerPage::validatePage() {
  if (record().monitoring == 0) return true;
  if (m_busy) return false;  // Finish again while the attempts run
  return schedule();
}

bool CParvellExplorerMorvaneSchedulerPage::schedule() {
  const tasks::TaskPageValues v = values();
  m_busy = true;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const tasks::SchedulingResult result =
      tasks::schedule_task(platform::crontab_service(), record(), v, m_program_path.toStdString(),
                           platform::login_name(), m_wait);
  QGuiApplication::restoreOverrideCursor();
  m_busy = false;

  const QString title = dialogs::load_qstring(core::kIdsWarningTitle);
  const QString typed = quoted(v.task_name);
  platform::SettingsStore settings(record().scheduled_start);
  if (result.ok()) {
    m_status->hide();
    dialogs::CWarnMessageBoxOnOff done(
        title, QStringLiteral("Morvane '%1' has been successfully Created(Updated)!").arg(typed),
        QString::fromLatin1(kScheduledValue), this);
    done.exec(settings);
    emit task_created(quoted(result.registered_name));
    return true;
  }

  QString reason = quoted(result.reason);
  if (reason.isEmpty()) reason = QStringLiteral("error 0x%1").arg(static_cast<uint32_t>(result.code), 8, 16, QLatin1Char('0'));
  if (result.task_file_failed) {
    const QString text = QStringLiteral("The task file \"%1\" could not be written: %2.\nThe task was not scheduled.")
                             .arg(quoted(record().task_file_path), reason);
    m_status->setText(text);
    dialogs::show_stop_box(this, QString::fromUtf8(core::kProductName), text);
  } else {
    const bool own = v.account.empty() || v.account == platform::login_name();
    const QString table = own ? QStringLiteral("your crontab")
                                            : QStringLiteral("the crontab of %1").arg(quoted(v.account));
    m_status->setText(QStringLiteral("\"%1\" could not be registered in %2: %3").arg(typed, table, reason));
  }
  m_status->show();

  dialogs::CWarnMessageBoxOnOff question(
      title,
      QStringLiteral("Scheduled Morvane '%1' Could Not Be Created/Updated. Please press 'Yes' to Return to check "
                     "your Morvane parameters...")
          .arg(typed),
      QString::fromLatin1(kNotScheduledValue), this);
  if (question.exec(settings) == dialogs::CWarnMessageBoxOnOff::kAnswerYes) return false;
  if (CMyResizePropSheet* own = sheet()) own->reject();  // the wizard ends without a task
  return false;
}

}  // namespace wizard
