/* wizard/page_help.cpp - the help of a wizard page: a local page, else the online one. */
#include "wizard/page_help.h"

#include <QFileInfo>
#include <QUrl>

#include "dialogs/shell_open.h"

namespace wizard {

QString default_online_help_address() { return QStringLiteral("https://www.parvellsoft.com/help/"); }

QString local_help_page(const QString& help_folder, const QString& topic) {
  if (help_folder.isEmpty()) return QString();
  // A topic is a file name of the folder, never a path that leads out of it.
  const QString name = topic.isEmpty() ? QStringLiteral("index.html") : topic;
  if (name.contains(QLatin1Char('/'))) return QString();
  const QFileInfo page(help_folder + QLatin1Char('/') + name);
  return page.isFile() ? page.absoluteFilePath() : QString();
}

QString online_help_url(const QString& online_base, const QString& topic) {
  QString base = online_base.trimmed();
  if (base.isEmpty()) base = default_online_help_address();
  if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
  return base + QString::fromLatin1(kOnlineHelpPrefix) + topic;
}

bool show_help_topic(QWidget* parent, const QString& help_folder, const QString& topic, const QString& online_base) {
  const QString local = local_help_page(help_folder, topic);
  if (!local.isEmpty()) {
    return dialogs::shell_open(parent, QStringLiteral("open"), QUrl::fromLocalFile(local).toString()) ==
           dialogs::ShellOpenResult::kDone;
  }
  const QString url = online_help_url(online_base, topic);
  if (dialogs::shell_open_quietly(QStringLiteral("open"), url) == dialogs::ShellOpenResult::kDone) return true;
  return dialogs::shell_open(parent, QStringLiteral("explore"), url) == dialogs::ShellOpenResult::kDone;
}

}  // namespace wizard
