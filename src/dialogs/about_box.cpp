/* dialogs/about_box.cpp - the about box of the wizard. */
#include "dialogs/about_box.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cstring>

#include "bridge/engine_version.h"
#include "core/product.h"
#include "core/strings.h"
#include "dialogs/system_info_dialog.h"
#include "dialogs/ui_text.h"
#include "platform/log_folder.h"
#include "platform/qt/history_storage.h"
#include "platform/qt/settings_store.h"

namespace dialogs {
namespace {

HelpOpener& installed_help_opener() {
  static HelpOpener opener;
  return opener;
}

/// A path as the user knows it: the home folder written "~".
QString shown_path(const QString& path) {
  if (path.isEmpty()) return load_qstring(core::kIdsUnknownPlace);
  const QString home = QDir::homePath();
  if (home.size() > 1 && path.startsWith(home + QLatin1Char('/'))) return QLatin1Char('~') + path.mid(home.size());
  return QDir::toNativeSeparators(path);
}

QLabel* text_label(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QString format_ui(int id, const QString& a, const QString& b = QString(), const QString& c = QString(),
                  const QString& d = QString()) {
  return format_qstring(id, a.toUtf8().constData(), b.toUtf8().constData(), c.toUtf8().constData(),
                        d.toUtf8().constData());
}

}  // namespace

void set_help_opener(HelpOpener opener) { installed_help_opener() = std::move(opener); }

QString AboutBox::build_date() {
  // __DATE__ is "Mmm dd yyyy" (day padded with a blank).
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const char* date = __DATE__;
  const char* month = std::strstr(kMonths, QByteArray(date, 3).constData());
  const int month_number = month != nullptr ? static_cast<int>(month - kMonths) / 3 + 1 : 0;
  const int day = QByteArray(date + 4, 2).trimmed().toInt();
  return QStringLiteral("%1-%2-%3")
      .arg(QLatin1String(date + 7, 4))
      .arg(month_number, 2, 10, QLatin1Char('0'))
      .arg(day, 2, 10, QLatin1Char('0'));
}

QString AboutBox::compiler() {
#if defined(__clang__)
  return QStringLiteral("Clang " __clang_version__).trimmed();
#elif defined(__GNUC__)
  return QStringLiteral("GCC " __VERSION__);
#else
  return QStringLiteral("an unknown compiler");
#endif
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutBox"));
  const QString product = QString::fromUtf8(core::kProductName);
  setWindowTitle(format_ui(core::kIdsAboutTitle, product));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  QIcon picture = QApplication::windowIcon();
  if (picture.isNull()) picture = QIcon::fromTheme(QStringLiteral("package-x-generic"));
  if (picture.isNull()) picture = style()->standardIcon(QStyle::SP_MessageBoxInformation);
  icon->setPixmap(picture.pixmap(64, 64));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* name = text_label(product, "productName", this);
  QFont big = name->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.5);
  name->setFont(big);

  auto* description = text_label(load_qstring(core::kIdsAboutDescription), "descriptionText", this);
  auto* engine = text_label(format_ui(core::kIdsAboutEngine, QString::fromUtf8(core::kEngineName),
                                      QString::fromStdString(bridge::engine_version())),
                            "engineLine", this);
  auto* build = text_label(format_ui(core::kIdsAboutBuild, build_date(), compiler(),
                                     QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion())),
                           "buildLine", this);

  auto* places_heading = text_label(load_qstring(core::kIdsAboutPlacesHeading), "placesHeading", this);
  QFont bold = places_heading->font();
  bold.setBold(true);
  places_heading->setFont(bold);
  const platform::SettingsStore settings(false);
  const QStringList places = {
      format_ui(core::kIdsAboutSettingsFile, shown_path(settings.file_path())),
      format_ui(core::kIdsAboutHistoryFile, shown_path(platform::history_file_path())),
      format_ui(core::kIdsAboutEngineLogs,
                shown_path(QString::fromStdString(platform::engine_log_folder_path()))),
      load_qstring(core::kIdsAboutResultsLogs),
  };
  auto* places_text = text_label(places.join(QLatin1Char('\n')), "placesText", this);

  auto* help = new QLabel(this);
  help->setObjectName(QStringLiteral("helpLink"));
  help->setText(QStringLiteral("<a href=\"help\">%1</a>").arg(load_qstring(core::kIdsAboutHelpLink).toHtmlEscaped()));
  help->setTextFormat(Qt::RichText);
  help->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  help->setFocusPolicy(Qt::StrongFocus);
  help->setEnabled(static_cast<bool>(installed_help_opener()));
  connect(help, &QLabel::linkActivated, this, [this] {
    if (const HelpOpener& opener = installed_help_opener()) opener(this);
  });

  // "&System Info" stands apart on the left, OK where every dialog has it.
  auto* system_info = new QPushButton(load_qstring(core::kIdsSystemInfoButton), this);
  system_info->setObjectName(QStringLiteral("systemInfoButton"));
  system_info->setAutoDefault(false);
  connect(system_info, &QPushButton::clicked, this, &AboutBox::open_system_info);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* button_row = new QHBoxLayout;
  button_row->addWidget(system_info);
  button_row->addStretch(1);
  button_row->addWidget(buttons);

  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(description);
  texts->addSpacing(6);
  texts->addWidget(engine);
  texts->addWidget(build);
  texts->addSpacing(6);
  texts->addWidget(places_heading);
  texts->addWidget(places_text);
  texts->addSpacing(6);
  texts->addWidget(help, 0, Qt::AlignLeft);

  auto* body = new QHBoxLayout;
  body->addWidget(icon);
  body->addSpacing(12);
  body->addLayout(texts, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addSpacing(6);
  layout->addLayout(button_row);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // as tall as its texts at this width
  for (QLabel* label : findChildren<QLabel*>())
    if (label->wordWrap()) label->setFixedWidth(440);
  ok->setFocus();
}

void AboutBox::open_system_info() {
  auto* dialog = new SystemInfoDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}

void show_about_box(QWidget* parent) {
  AboutBox box(parent);
  box.exec();
}

}  // namespace dialogs
