/* wizard/pick_zip_file_page.h - the pick-archive page: names the ZIP archive of every operation.
 *
 * Registered with the sheet under its dialog id with its caption and help
 * topic.  Its controls, by objectName:
 *   comboZipFileName     the name box (history "ZipFileName")
 *   buttonBrowse         "&Browse": an existing archive (ZIP, JAR, LZH, TAR, TGZ)
 *   buttonNewZip         "&New ZIP": a new archive (zip runs with a new archive only)
 *   checkPickFolder      "Continue with &Picking an UnZip Folder" (extraction only)
 *   labelCheckBoxNote    what happens without a picked folder (extraction only)
 *   labelHint            where Next leads
 *   verdict              the archive check's picture and line (verdict_line.h)
 *   progressListing      the listing's progress while a large archive is read
 *   labelSelection       the number of selected items (zip runs)
 *
 * The archive check (name_checks.h) runs on activation, after Browse and New
 * ZIP, as the user types (from the event loop, once per burst of keys) and
 * again on Next; Next is enabled by its verdict.
 * Each check takes the name box text into the record as the archive path.
 * An archive is listed only when it differs from the one listed last; while
 * a listing runs the window keeps painting, and a name typed meanwhile stops
 * it and is checked as soon as it has ended (one listing at a time).  Next is
 * disabled while a listing runs.
 *
 * A new archive with no path yet is proposed as the originating folder with
 * ".ZIP".  An extraction without a picked folder goes into the default
 * extraction folder (the desktop folder, the archive's name without its
 * extension, and "/").
 *
 * Remembered: the check box ("PickFolderChkBx", read at construction) and
 * the archive path at destruction ("PickFileName"); nothing in a scheduled
 * run.  set_archive_state() stands for a check made elsewhere: its verdict
 * holds while the name box keeps that name.
 */
#pragma once

#include <QStringList>

#include "wizard/archive_lister.h"
#include "wizard/name_checks.h"
#include "wizard/resize_prop_page.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace wizard {

class CMyHistoryComboBoxExtended;
class VerdictLine;

class CPickZipFileName : public CMyResizePropPage {
  Q_OBJECT
 public:
  static constexpr int kDialogId = kPagePickZipFile;
  static constexpr char kCaption[] = "Parvell Wizard - Chose ZIP File Name";
  static constexpr char kHelpTopic[] = "wizard_pickzipfile.html";
  static constexpr char kHistoryList[] = "ZipFileName";
  static constexpr char kCheckBoxValue[] = "PickFolderChkBx";
  static constexpr char kFileNameValue[] = "PickFileName";

  explicit CPickZipFileName(core::OperationRecord& record, QWidget* parent = nullptr);
  ~CPickZipFileName() override;

  /// The archive check's verdict on the name in the name box.
  virtual bool archive_valid() const { return m_archive_valid; }
  /// The "Continue with &Picking an UnZip Folder" check box.
  virtual bool continue_to_folder() const;
  /// The text of the name box.
  virtual QString archive_name() const;
  /// The desktop folder joined with archive_name()'s file name without its extension, and "/".
  QString default_destination_folder() const;

  /// A check made elsewhere: @p name goes into the name box with @p valid as its verdict.
  void set_archive_state(const QString& name, bool valid);
  void set_continue_to_folder(bool on);

  /// Runs the archive check on the name box now.  @return its verdict (false while a listing runs).
  bool check_archive();
  /// True while a check asked for by typing has not ended.
  bool check_pending() const;
  /// The names the last listing reported, and the lister (tests replace its bridge call).
  const QStringList& listed_names() const { return m_lister.listed_names(); }
  ArchiveLister& lister() { return m_lister; }
  CMyHistoryComboBoxExtended* name_box() const { return m_name_box; }

  FlowState flow_state() const override;
  bool isComplete() const override { return archive_valid(); }
  bool validatePage() override;
  void on_set_active() override;

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  bool extraction() const;
  void name_edited();
  void set_valid(bool valid);
  void show_listing_progress(int progress);
  void refresh_check_box_note();
  void browse();
  void new_zip();
  void take_chosen_name(const QString& name);

  ArchiveLister m_lister;
  ArchiveCheck m_check{m_lister};
  CMyHistoryComboBoxExtended* m_name_box = nullptr;
  QPushButton* m_browse = nullptr;
  QPushButton* m_new_zip = nullptr;
  QCheckBox* m_pick_folder = nullptr;
  QLabel* m_check_box_note = nullptr;
  QLabel* m_hint = nullptr;
  VerdictLine* m_verdict = nullptr;
  QProgressBar* m_progress = nullptr;
  QLabel* m_selection = nullptr;
  QTimer* m_check_timer = nullptr;
  bool m_archive_valid = false;
  bool m_checking = false;     ///< a check (and maybe its listing) is under way
  bool m_check_again = false;  ///< the name changed during it
  QString m_given_name;        ///< set_archive_state()'s name ...
  bool m_given_valid = false;  ///< ... and its verdict
};

}  // namespace wizard
