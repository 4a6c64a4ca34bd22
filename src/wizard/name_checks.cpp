/* wizard/name_checks.cpp - the archive check and the folder check of the pick pages. */
#include "wizard/name_checks.h"

#include <QDir>
#include <QFileInfo>

#include "core/strings.h"
#include "dialogs/ui_text.h"
#include "bridge/engine_bridge.h"

namespace wizard {
namespace {

using dialogs::StatusPicture;

Verdict verdict(int string_id, const QString& name, StatusPicture picture, bool valid) {
  return {dialogs::format_qstring(string_id, name.toUtf8().constData()), picture, valid};
}

Verdict plain(int string_id, StatusPicture picture) { return {dialogs::load_qstring(string_id), picture, false}; }

}  // namespace

ArchiveCheck::Result ArchiveCheck::check(const QString& path, bool extraction) {
  Result result;
  const QFileInfo info(path);
  const QString name = info.fileName();
  if (path.isEmpty()) {
    result.verdict = extraction ? plain(core::kIdsZipNameEmpty, StatusPicture::kError)
                                : plain(core::kIdsBrowseOrNewZip, StatusPicture::kNote);
    return result;
  }
  if (info.isDir()) {
    result.verdict = verdict(core::kIdsArchiveIsFolder, name, StatusPicture::kError, false);
    return result;
  }
  if (!info.isFile()) {
    result.verdict = extraction ? verdict(core::kIdsZipMustExist, name, StatusPicture::kError, false)
                                : verdict(core::kIdsZipWillBeCreated, name, StatusPicture::kNote, true);
    return result;
  }

  const bool same = !m_last.path.isEmpty() && m_last.path == path && m_last.size == info.size() &&
                    m_last.modified == info.lastModified();
  if (!same) {
    if (m_lister.running()) {
      result.outcome = Outcome::kBusy;
      return result;
    }
    const ListingResult listed = m_lister.list(path);
    if (listed.stopped) {
      m_last = Listed{};
      result.outcome = Outcome::kStopped;
      return result;
    }
    if (listed.code == bridge::kUnzipBusy) {  // another operation holds the bridge: not a verdict on the file
      result.outcome = Outcome::kBusy;
      return result;
    }
    m_last = Listed{path, info.size(), info.lastModified(), listed.code, listed.count};
  }

  if (m_last.code != 0) {
    result.verdict = verdict(core::kIdsZipNotRecognized, name, StatusPicture::kError, false);
  } else if (m_last.count <= 0) {
    result.verdict = verdict(core::kIdsNoItemsInZip, name, StatusPicture::kError, false);
  } else {
    result.verdict = {dialogs::format_qstring(core::kIdsZipContainsItems, name.toUtf8().constData(),
                                              static_cast<int>(m_last.count)),
                      StatusPicture::kGood, true};
  }
  return result;
}

FolderVerdict check_folder(const QString& text) {
  FolderVerdict out;
  out.folder = text;
  if (out.folder.size() > 1 && (out.folder.endsWith(QLatin1Char('/')) || out.folder.endsWith(QLatin1Char('\\'))))
    out.folder.chop(1);
  if (out.folder.isEmpty()) {
    out.verdict = plain(core::kIdsFolderEmpty, StatusPicture::kError);
    return out;
  }
  const QFileInfo info(out.folder);
  const QString last_name = QFileInfo(QDir::cleanPath(out.folder)).fileName();
  const QString name = last_name.isEmpty() ? out.folder : last_name;
  if (info.isDir()) {
    out.verdict = verdict(core::kIdsFolderExists, name, StatusPicture::kGood, true);
  } else if (info.exists()) {
    out.verdict = verdict(core::kIdsFolderIsFile, name, StatusPicture::kError, false);
  } else {
    out.verdict = verdict(core::kIdsFolderWillBeCreated, name, StatusPicture::kNote, true);
  }
  return out;
}

QString proposed_archive_name(const QString& originating_folder) {
  QString folder = originating_folder;
  if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))) folder.chop(1);
  return folder + QStringLiteral(".ZIP");
}

QString name_with_filter_extension(const QString& name, int filter_index) {
  static const char* const extensions[] = {".ZIP", ".JAR", ".LZH", ".TAR", ".TGZ"};
  if (filter_index < 1 || filter_index > 5 || name.isEmpty()) return name;
  if (!QFileInfo(name).suffix().isEmpty()) return name;
  return name + QLatin1String(extensions[filter_index - 1]);
}

}  // namespace wizard
