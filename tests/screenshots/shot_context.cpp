/* tests/screenshots/shot_context.cpp - what a shot may use, and the list of shots. */
#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QUuid>
#include <algorithm>

#include "app/program_start.h"
#include "shot_registry.h"

namespace shots {

std::vector<Shot>& all_shots() {
  static std::vector<Shot> shots;
  return shots;
}

ShotContext::ShotContext() {
  m_scratch = QDir::tempPath() + QStringLiteral("/shot-") + QUuid::createUuid().toString(QUuid::Id128);
  QDir().mkpath(m_scratch);
  // Every shot starts as a first start: its own, empty settings.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_scratch + QStringLiteral("/config"));
}

ShotContext::~ShotContext() {
  m_start.reset();  // the sheet and its pages go before what they were built on
  m_kept.clear();
  if (!m_scratch.isEmpty()) QDir(m_scratch).removeRecursively();
}

wizard::CMyResizePropSheet* ShotContext::start_wizard(const QStringList& arguments) {
  app::ProgramStart::Options options;
  options.gui = true;
  options.executable_path = QCoreApplication::applicationFilePath();  // build/bin: its help/ is there
  m_start = std::make_unique<app::ProgramStart>(m_record, m_log, options);
  m_start->start(arguments);
  return m_start->sheet();
}

}  // namespace shots
