/* tests/dialogs/send_by_mail_test.cpp - handing a file to the mail program.
 *
 * Risk: a path with blanks or quotes split on its way to xdg-email; a
 * relative path the mail program cannot find; a machine without mail taken
 * for a sent message, or a box shown where the caller wanted silence.
 */
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <vector>

#include "dialogs/message_boxes.h"
#include "dialogs/send_by_mail.h"
#include "platform/qt/mail_program.h"
#include "test_env.h"

namespace {

struct Recorded {
  std::vector<dialogs::BoxRequest> boxes;
  std::vector<QStringList> runs;
};

/// Installs a box presenter and a mail runner answering @p status; both are put back at the end.
class MailSeams {
 public:
  explicit MailSeams(int status) {
    dialogs::set_box_presenter([this](QWidget*, const dialogs::BoxRequest& r) {
      seen.boxes.push_back(r);
      return int(dialogs::kBoxOk);
    });
    platform::set_mail_runner([this, status](const QString& program, const QStringList& arguments) {
      seen.runs.push_back(QStringList{program} + arguments);
      return status;
    });
  }
  ~MailSeams() {
    dialogs::set_box_presenter(nullptr);
    platform::set_mail_runner(nullptr);
  }
  Recorded seen;
};

/// Puts @p dir alone on PATH for the lifetime of the object.
class OnlyOnPath {
 public:
  explicit OnlyOnPath(const QString& dir) : m_saved(qgetenv("PATH")) { qputenv("PATH", QFile::encodeName(dir)); }
  ~OnlyOnPath() { qputenv("PATH", m_saved); }

 private:
  QByteArray m_saved;
};

TEST(SendByMail, NoPathStartsNothing) {
  MailSeams seams(0);
  EXPECT_EQ(dialogs::send_file_by_mail(nullptr, QString(), QStringLiteral("text")), 1);
  EXPECT_TRUE(seams.seen.runs.empty());
  EXPECT_TRUE(seams.seen.boxes.empty());
}

TEST(SendByMail, ResultsAndTheMissingMailSystem) {
  struct Row {
    int status;
    bool with_message;
    int result;
    bool box;
  };
  const Row rows[] = {
      {0, true, 0, false},                                // handed over
      {4, true, 4, false},                                // the mail program's failure is the result
      {1, false, 1, false},
      {platform::kDesktopOpenNotStarted, false, 0, false},  // missing, silent caller
      {platform::kDesktopOpenNotStarted, true, 0, true},
      {platform::kMailNoProgram, true, 0, true},
      {platform::kDesktopOpenCrashed, true, 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.status);
    MailSeams seams(row.status);
    const QString message = row.with_message ? QStringLiteral("Cannot mail it.") : QString();
    EXPECT_EQ(dialogs::send_file_by_mail(nullptr, QStringLiteral("/tmp/a.zip"), message, QStringLiteral("Mail")),
              row.result);
    ASSERT_EQ(seams.seen.runs.size(), 1u);
    EXPECT_EQ(seams.seen.runs[0], (QStringList{"xdg-email", "--attach", "/tmp/a.zip"}));
    ASSERT_EQ(seams.seen.boxes.size(), row.box ? 1u : 0u);
    if (row.box) {
      EXPECT_EQ(seams.seen.boxes[0].title, QStringLiteral("Mail"));
      EXPECT_TRUE(seams.seen.boxes[0].text.startsWith(message));
      EXPECT_TRUE(seams.seen.boxes[0].text.contains(platform::mail_failure_reason(row.status)));
    }
  }
}

TEST(SendByMail, ARelativePathIsAttachedAbsolute) {
  MailSeams seams(0);
  dialogs::send_file_by_mail(nullptr, QStringLiteral("out/b.zip"));
  ASSERT_EQ(seams.seen.runs.size(), 1u);
  EXPECT_EQ(seams.seen.runs[0].last(), QDir::current().absoluteFilePath(QStringLiteral("out/b.zip")));
}

TEST(SendByMail, TheRealXdgEmailGetsThePathAsOneArgument) {
  const QString dir = QString::fromStdString(testenv::make_temp_dir("mail-stub"));
  const QString record = dir + QStringLiteral("/args");
  QFile stub(dir + QStringLiteral("/xdg-email"));
  ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
  stub.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1'; done\nexit 0\n")
                 .arg(record)
                 .toUtf8());
  stub.close();
  stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QString odd = QStringLiteral("/tmp/My Backups/it's \"déjà\" $HOME; vu.zip");
  {
    OnlyOnPath path(dir);
    EXPECT_EQ(dialogs::send_file_by_mail(nullptr, odd), 0);
  }
  QFile got(record);
  ASSERT_TRUE(got.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(got.readAll()), QStringLiteral("--attach\n") + odd + QLatin1Char('\n'));
}

TEST(SendByMail, WithoutXdgEmailAndNoMessageNothingIsShown) {
  std::vector<dialogs::BoxRequest> boxes;
  dialogs::set_box_presenter([&](QWidget*, const dialogs::BoxRequest& r) {
    boxes.push_back(r);
    return int(dialogs::kBoxOk);
  });
  {
    OnlyOnPath path(QString::fromStdString(testenv::make_temp_dir("no-mail")));
    EXPECT_EQ(platform::send_by_mail(QStringLiteral("/tmp/a.zip")), platform::kDesktopOpenNotStarted);
    EXPECT_EQ(dialogs::send_file_by_mail(nullptr, QStringLiteral("/tmp/a.zip")), 0);
  }
  dialogs::set_box_presenter(nullptr);
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
