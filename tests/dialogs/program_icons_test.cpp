/* tests/dialogs/program_icons_test.cpp - the program's own pictures and its dialog filters.
 *
 * Risks: a verdict picture missing from the resource or not drawable (no SVG
 * support installed), and filters that hide files on Linux ("*.*") or lose
 * their order (the Browse extension follows the filter's position).
 */
#include <gtest/gtest.h>

#include <QImage>

#include "dialogs/file_filters.h"
#include "dialogs/program_icons.h"
#include "wizard/name_checks.h"

namespace {

using dialogs::StatusPicture;

TEST(ProgramIcons, EveryStatusPictureIsDrawn) {
  for (StatusPicture picture : {StatusPicture::kGood, StatusPicture::kError, StatusPicture::kNote}) {
    const QString name = dialogs::status_picture_name(picture);
    const QImage image = dialogs::program_icon(name).pixmap(32, 32).toImage();
    ASSERT_FALSE(image.isNull()) << name.toStdString();
    // Drawn, not blank: the centre carries the picture's colour.
    EXPECT_GT(qAlpha(image.pixel(8, 16)), 200) << name.toStdString();
  }
  EXPECT_TRUE(dialogs::status_picture_name(StatusPicture::kNone).isEmpty());
  EXPECT_TRUE(dialogs::program_icon("no-such-picture").isNull());
}

TEST(FileFilters, PipeListsBecomeQtFilters) {
  EXPECT_EQ(dialogs::name_filters_from_pipe_list(wizard::kBrowseArchiveFilters),
            (QStringList{"ZIP Files (*.zip)", "JAR Files (*.jar)", "LZH Files (*.lzh)", "TAR Files (*.tar)",
                         "TGZ Files (*.tgz)"}));
  EXPECT_EQ(dialogs::name_filters_from_pipe_list(wizard::kNewArchiveFilters),
            (QStringList{"Zip files (*.zip)", "All Files (*)"}));
  EXPECT_EQ(dialogs::name_filters_from_pipe_list("Logs|*.log;*.log.html||"), QStringList{"Logs (*.log *.log.html)"});
  EXPECT_TRUE(dialogs::name_filters_from_pipe_list("").isEmpty());
}

}  // namespace
