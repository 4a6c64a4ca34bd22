/* wizard/name_checks.h - the archive check and the folder check of the pick pages.
 *
 * Both pick pages judge their name as it changes and show the verdict as a
 * line of text with a status picture; Next follows the verdict.  The rules
 * are here, apart from the widgets, so they are tested on their own.
 *
 * Archive check (pick-archive page), "%s" being the file name without its folder:
 *   an existing file that lists with items   120  good   valid
 *   an existing file whose listing failed    142  error
 *   an existing file that lists empty        143  error
 *   missing, name given, extraction          118  error
 *   missing, name given, zip run             148  note   valid
 *   empty name, extraction                   144  error
 *   empty name, zip run                      141  note
 *   an existing folder                      9110  error
 * The listing runs only when the file differs from the one listed last (its
 * path, compared case-sensitively, its size and its modification time), so
 * the same archive checked again is not listed again; the bridge keeps that
 * listing's statistics for the performing page's encrypted-items question.
 * A folder is never an archive: naming one is refused instead of promising
 * to create a file where a folder stands.
 *
 * Folder check (pick-folder page), on the text with one trailing "/" (or
 * "\") removed, "%s" being the folder's last name:
 *   an existing folder        125  good   valid
 *   an existing file         9111  error
 *   anything else non-empty   149  note   valid
 *   empty                     150  error
 * The root "/" keeps its slash.
 */
#pragma once

#include <QDateTime>
#include <QString>

#include "dialogs/program_icons.h"
#include "wizard/archive_lister.h"

namespace wizard {

/// A check's verdict: the line to show, its picture, and whether Next may go on.
struct Verdict {
  QString text;
  dialogs::StatusPicture picture = dialogs::StatusPicture::kNone;
  bool valid = false;
};

class ArchiveCheck {
 public:
  enum class Outcome {
    kDone,     ///< the verdict is ready
    kBusy,     ///< a listing runs already; check again when it has ended
    kStopped,  ///< the listing was stopped for a newer name; no verdict
  };
  struct Result {
    Outcome outcome = Outcome::kDone;
    Verdict verdict;
  };

  explicit ArchiveCheck(ArchiveLister& lister) : m_lister(lister) {}

  /// Judges @p path for an extraction (@p extraction) or a zip run.
  Result check(const QString& path, bool extraction);

  /// The path listed last ("" before any listing) and the items it held.
  const QString& last_listed() const { return m_last.path; }
  int32_t last_count() const { return m_last.count; }

 private:
  struct Listed {
    QString path;
    qint64 size = -1;
    QDateTime modified;
    int32_t code = 0;
    int32_t count = 0;
  };

  ArchiveLister& m_lister;
  Listed m_last;
};

/// The folder check's verdict and the folder it judged (one trailing "/" removed).
struct FolderVerdict {
  Verdict verdict;
  QString folder;
};
FolderVerdict check_folder(const QString& text);

/// The archive proposed for a new archive: the originating folder without a
/// trailing "/" and ".ZIP" ("/home/u/Docs/" gives "/home/u/Docs.ZIP").
QString proposed_archive_name(const QString& originating_folder);

/// Filters of the pick-archive page's dialogs, in the "Text|pattern|...||" form.
inline constexpr char kBrowseArchiveFilters[] =
    "ZIP Files (*.zip)|*.zip|JAR Files (*.jar)|*.jar|LZH Files (*.lzh)|*.lzh|TAR Files (*.tar)|*.tar|"
    "TGZ Files (*.tgz)|*.tgz||";
inline constexpr char kNewArchiveFilters[] = "Zip files (*.zip)|*.zip|All Files (*.*)|*.*||";

/// @p name with the extension of Browse filter @p filter_index (from 1: ".ZIP",
/// ".JAR", ".LZH", ".TAR", ".TGZ") appended when its file name has none.
QString name_with_filter_extension(const QString& name, int filter_index);

}  // namespace wizard
