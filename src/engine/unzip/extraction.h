/* engine/unzip/extraction.h - one extraction run: the items, their files, their checks.
 *
 * An Extraction serves functions 8, 9 and 11 of the unzip entry (function 10,
 * which reads no archive file, is memory_to_memory.cpp).  It holds what lasts
 * for the run: the archive's volumes, the expander with its tables, the
 * output stage, the open destination, the activity log, the "Yes to All"
 * answer and the folders whose times are set at the end.
 *
 * The work is split over three files:
 *   extract.cpp          the run: checks, selection, the walk and its outcome rules;
 *   extract_item.cpp     one item: local header, decryption, expansion, check;
 *   extract_target.cpp   where an item's file goes: rename callbacks, folders,
 *                        self-protection, the overwrite question, the
 *                        temporary file and its commit, times and attributes.
 *
 * Per item the steps run in this order: output path (an unusable name is
 * skipped with 49), rename, folders, self-protection, existing file (test and
 * memory modes skip these), method check, volume and local header, activity
 * report, folder or data, check, close with times and attributes, clean-up of
 * a failed output, the wrong-password question.
 *
 * Files on Linux: an item made on Unix (host 3) gets its stored mode (never
 * set-user-id or set-group-id bits, masked by the umask), any other item the
 * DOS read-only bit; the time is the UTC time of a 0x5455 block where there
 * is one, else the DOS date-time as local time.  A symbolic link item becomes
 * a link only when its target, resolved from the link's place, stays inside
 * the destination (link_target_stays_inside()); otherwise it is written as a
 * plain file holding the target's text, with a warning.
 */
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/common/activity_log.h"
#include "engine/common/local_header.h"
#include "engine/unzip/decrypt.h"
#include "engine/unzip/expand.h"
#include "engine/unzip/extract_ahead.h"
#include "engine/unzip/output_path.h"
#include "engine/unzip/output_stage.h"
#include "engine/unzip/unzip_state.h"
#include "engine/unzip/volume_input.h"
#include "platform/output_tree.h"

namespace ostrana {

/// The status callbacks and the authentication code while an item expands:
/// the minor status hears @p text with the part of the item done so far.
/// @p source is null for an item a worker expands.
class ItemHooks final : public ExpandHooks {
 public:
  ItemHooks(StatusReporter& status, const std::string& text, uint64_t size, ItemDataSource* source)
      : m_status(status), m_text(text), m_size(size), m_source(source) {}

  int item_started() override { return m_status.minor(m_text.c_str(), 0); }
  int output_progress(uint64_t out_nbytes, uint64_t) override {
    return m_status.minor(m_text.c_str(), byte_percent(out_nbytes, m_size));
  }
  int read_auth_code() override { return m_source != nullptr ? m_source->verify_end() : 0; }

 private:
  StatusReporter& m_status;
  const std::string& m_text;
  uint64_t m_size;
  ItemDataSource* m_source;
};

/// Points @p info at the AES (0x9901) and strong encryption (0x0017) blocks
/// of an item's extra field, as the decryption wants them.
void cipher_blocks_of(const uint8_t* extra, size_t extra_nbytes, ItemDataInfo* info);

/// After an authenticated (AES) item's data turned out damaged (@p rc 2 or
/// 3): reads the rest of it and checks the authentication code.  @return 39
/// when the code does not match (the data was changed), else @p rc.
int authentication_verdict(ItemDataSource& source, int rc);

/// True when a link at @p relative (below the destination, "/" separators)
/// pointing to @p target stays inside the destination however the system
/// resolves it: a relative target whose leading ".." components climb no
/// higher than the link's own folder, and no ".." after a name (a name may
/// itself be a link).  An empty or absolute target never qualifies.
bool link_target_stays_inside(const std::string& relative, const std::string& target);

/// Where one item's file goes and what it gets (the rename record's fields).
struct ItemTarget {
  std::string path;            ///< the output path shown to the caller
  uint16_t dos_date = 0;
  uint16_t dos_time = 0;
  uint32_t attributes = 0;     ///< DOS bits to set: read-only, hidden, system, archive; 0x10 for folders
  bool folder = false;
  uint32_t unix_mode = 0;      ///< a Unix-made item's mode (0: the DOS attributes decide)
  int64_t mtime = -1;          ///< the item's UTC time (0x5455), unless the caller changed the date
  bool link = false;           ///< a Unix-made symbolic link: its data is the target

  /// The time the file or folder gets: the UTC time, else the DOS date-time as local time.
  time_t when() const;

  // Resolved below an open folder:
  platform::OutputTree* tree = nullptr;  ///< the destination's, or `own` for a path the caller chose
  std::unique_ptr<platform::OutputTree> own;
  std::string relative;        ///< below tree->root() ("" = the root itself)
  bool overwrite_read_only = false;  ///< an existing read-only file may be replaced
  std::string temp;            ///< the temporary file while the data is written
};

class Extraction {
 public:
  explicit Extraction(UnzipThreadState& state);

  /// Runs function 8, 9 or 11.  @return the run's code (reported already
  /// where the rules say so).
  int run();

 private:
  enum class Mode { kFiles, kTest, kMemory };

  /* ---- extract.cpp ---- */
  int check_destination();
  int same_volume_guard();
  /// Refuses (50) an extraction whose items' declared sizes (@p need bytes in
  /// all) add up to more than the destination's volume has free, before
  /// anything is written.
  int room_guard(uint64_t need);
  int walk_patterns();
  /// The workers of a test or an extraction on several threads (null on one
  /// thread, or when the archive is not one file the workers can read).
  std::unique_ptr<AheadExpander> create_ahead();
  /// Adds @p e to @p planned when a worker can expand it: a plain item.
  void add_ahead_item(const DirectoryEntry& e, std::vector<AheadExpander::Item>* planned) const;
  int walk_index();
  int one_for_memory();
  int item_outcome(int rc, bool* stop_ret);
  void finish_folders();

  /* ---- extract_item.cpp ---- */
  int extract_item(const DirectoryEntry& e);
  int read_local_header_of(const DirectoryEntry& e, LocalEntry* local);
  /// Expands the item into its file, the caller's memory or nowhere (by the
  /// run's mode), or into @p memory (sized to the item) when it is given.
  int expand_data(const DirectoryEntry& e, const LocalEntry& local, ItemTarget& target, const std::string& activity,
                  std::vector<uint8_t>* memory = nullptr);
  int password_question(const DirectoryEntry& e, int rc);
  std::string item_name(const DirectoryEntry& e) const;

  /* ---- extract_target.cpp ---- */
  int plan_target(const DirectoryEntry& e, const OutputName& name, ItemTarget* target);
  int call_rename(const DirectoryEntry& e, ItemTarget* target);
  int resolve(ItemTarget* target, bool caller_chose);
  int protect_archive(const ItemTarget& target);
  int settle_existing(ItemTarget* target);
  int overwrite_question(ItemTarget* target, bool read_only);
  int create_folder_item(ItemTarget& target);
  int open_output(ItemTarget& target, platform::File* file);
  int extract_link(const DirectoryEntry& e, const LocalEntry& local, ItemTarget& target, const std::string& activity);
  /// Remembers why the current item's output failed (its name, the output
  /// path, the system's reason) for the run's report.  @return @p code.
  int output_failure(int code, const ItemTarget& target, int err);
  int close_output(ItemTarget& target, platform::File* file, bool complete);

  UnzipThreadState& m_state;
  UnzipRun& m_run;
  Mode m_mode = Mode::kFiles;
  std::string m_item;          ///< the name of the item being extracted
  std::string m_item_failure;  ///< why its output failed ("" when it did not)
  std::unique_ptr<AheadExpander> m_ahead;  ///< items expanded ahead on workers (null: one thread)
  VolumeInput m_input;
  Expander m_expander;
  OutputStage m_output;
  platform::OutputTree m_tree;
  ActivityLog m_log;
  bool m_overwrite_all = false;
  struct FolderTime {
    std::string relative;  ///< below the destination
    time_t when;
    uint32_t unix_mode;    ///< 0: none stored
  };
  std::vector<FolderTime> m_folder_times;
};

}  // namespace ostrana
