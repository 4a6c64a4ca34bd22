/* tests/screenshots/screenshots_main.cpp - takes the registered pictures on a real X server.
 *
 *   parvell_screenshots OUTDIR [SHOT...]   every shot, or the named ones
 *   parvell_screenshots --list             the shots and what they show
 *
 * Run by scripts/screenshots under xvfb-run (a 1024x768 screen).  Each shot's
 * windows are shown on the X server and the screen area they cover is read
 * back from it, so the picture is what a user would see, popups included.
 * Settings go to a private folder, never to the user's.
 * Exit status: 0 all pictures taken, 1 a shot failed or did not fit.
 */
#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shot_registry.h"

namespace {

void settle() {
  for (int round = 0; round < 5; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  QTest::qWait(150);  // let the X server finish drawing what was flushed
}

/// The screen area covered by every visible top-level window (the shot's
/// window, its popups and any box it opened).
QRect covered_area() {
  QRect area;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->isVisible()) area = area.united(top->frameGeometry());
  }
  return area;
}

/// Buttons and labels too narrow for their one-line text.
int report_narrow_texts(const char* shot, QWidget* window) {
  int narrow = 0;
  const auto complain = [&](QWidget* w, const QString& text) {
    std::fprintf(stderr, "screenshots: %s: '%s' (%s) is %d px wide, its text needs %d\n", shot,
                 text.toUtf8().constData(), w->objectName().toUtf8().constData(), w->width(),
                 w->sizeHint().width());
    ++narrow;
  };
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
    if (b->isVisibleTo(window) && !b->text().isEmpty() && b->width() + 1 < b->sizeHint().width()) complain(b, b->text());
  }
  for (QLabel* l : window->findChildren<QLabel*>()) {
    if (l->isVisibleTo(window) && !l->wordWrap() && !l->text().isEmpty() && l->width() + 1 < l->sizeHint().width()) {
      complain(l, l->text());
    }
  }
  return narrow;
}

/// Grabs the screen area of every visible window.  @return false when it does
/// not fit on the screen or could not be written.
bool capture(const shots::Shot& shot, QWidget* window, const QString& out_dir) {
  QScreen* screen = window->screen();
  const QRect area = covered_area();
  bool ok = true;
  if (!screen->geometry().contains(area)) {
    std::fprintf(stderr, "screenshots: %s: %dx%d at %d,%d does not fit on the %dx%d screen\n", shot.name,
                 area.width(), area.height(), area.x(), area.y(), screen->geometry().width(),
                 screen->geometry().height());
    ok = false;
  }
  report_narrow_texts(shot.name, window);
  const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  const QString path = out_dir + QLatin1Char('/') + QString::fromLatin1(shot.name) + QStringLiteral(".png");
  if (picture.isNull() || !picture.save(path)) {
    std::fprintf(stderr, "screenshots: %s: could not write %s\n", shot.name, path.toUtf8().constData());
    return false;
  }
  const QWidget* focus = QApplication::focusWidget();
  std::printf("%s  %dx%d  focus: %s  %s\n", path.toUtf8().constData(), picture.width(), picture.height(),
              focus ? focus->objectName().toUtf8().constData() : "(none)", shot.description);
  return ok;
}

bool take(const shots::Shot& shot, const QString& out_dir) {
  shots::ShotContext ctx;
  QWidget* window = shot.build(ctx);
  if (window == nullptr) {
    std::fprintf(stderr, "screenshots: %s: the shot made no window\n", shot.name);
    return false;
  }
  bool ok = true;
  ctx.set_capture([&] {
    settle();
    ok = capture(shot, window, out_dir);
    return true;
  });
  window->show();
  if (!QTest::qWaitForWindowExposed(window, 5000)) {
    std::fprintf(stderr, "screenshots: %s: the window never appeared\n", shot.name);
    return false;
  }
  window->activateWindow();
  settle();
  ctx.run_prepare();
  settle();
  if (!ctx.captured()) ok = capture(shot, window, out_dir);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  // The wizard's settings and state go to a private folder for the whole run.
  QTemporaryDir home;
  for (const char* variable : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
    const QByteArray folder = (home.path() + QLatin1Char('/') + QString::fromLatin1(variable)).toLocal8Bit();
    QDir().mkpath(QString::fromLocal8Bit(folder));
    setenv(variable, folder.constData(), 1);
  }
  QApplication application(argc, argv);
  QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

  std::vector<shots::Shot> shots = shots::all_shots();
  std::sort(shots.begin(), shots.end(), [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
  const QStringList args = QCoreApplication::arguments().mid(1);
  if (args.value(0) == QStringLiteral("--list")) {
    for (const auto& shot : shots) std::printf("%-32s %s\n", shot.name, shot.description);
    return 0;
  }
  if (args.isEmpty()) {
    std::fprintf(stderr, "usage: parvell_screenshots OUTDIR [SHOT...] | --list\n");
    return 2;
  }
  const QString out_dir = QDir(args[0]).absolutePath();
  QDir().mkpath(out_dir);
  const QStringList wanted = args.mid(1);

  int failed = 0, taken = 0;
  for (const auto& shot : shots) {
    if (!wanted.isEmpty() && !wanted.contains(QString::fromLatin1(shot.name))) continue;
    ++taken;
    if (!take(shot, out_dir)) ++failed;
  }
  for (const QString& name : wanted) {
    if (std::none_of(shots.begin(), shots.end(), [&](const auto& s) { return name == QLatin1String(s.name); })) {
      std::fprintf(stderr, "screenshots: no shot named %s (see --list)\n", name.toUtf8().constData());
      ++failed;
    }
  }
  if (taken == 0 && wanted.isEmpty()) std::fprintf(stderr, "screenshots: no shots registered\n");
  return failed == 0 ? 0 : 1;
}
