/* engine/unzip/extract_target.cpp - where an item's file goes, and how it gets there.
 *
 * The output path is the destination plus the item's cleaned name
 * (output_path.h).  The rename callback may change it, with the item's DOS
 * date, time and attributes; a path it leaves unchanged stays below the
 * destination's open folder, where no symbolic link is ever followed
 * (platform/output_tree.h), while a path the caller (or the user, through the
 * Rename answer) chose is taken as given: its folders are made along it and
 * only its last component is guarded.
 *
 * The file is written under a temporary name beside its final one and renamed
 * over it when it is complete, with its times and attributes already set.  A
 * failed item therefore leaves the file that was there before untouched, and
 * no half-written file behind (unless option bit 6 asks to keep it).
 *
 * Existing files: overWriteFlag (or an earlier Yes to All) replaces them;
 * quietFlag skips the item (49); otherwise the overwrite question (display
 * type 8) decides, Yes/No/Cancel at behaviour levels 100 and 200, the five
 * answers from 300:
 *   Yes                 replace (a read-only file too)
 *   Yes to All (or 5)   replace, and every later file without asking
 *   No                  skip the item (49)
 *   Cancel              stop the run (48)
 *   Rename              ask for another path (platform save dialog); a
 *                       cancelled dialog skips the item (49)
 *   anything else       replace, but a read-only file is kept: 28, unless
 *                       option bit 0 clears and deletes it first.
 */

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/common/utf8.h"
#include "engine/unzip/extraction.h"
#include "engine/unzip/unzip_run.h"
#include "platform/event_pump.h"
#include "platform/file_info.h"
#include "platform/save_dialog.h"

namespace ostrana {
namespace {

/// settle_existing()'s signal that the user chose another path.
constexpr int kRenamed = -1;
/// Rename answers in a row before the item is given up (49).
constexpr int kRenameLimit = 16;
constexpr uint32_t kAttributesToSet = 0x27;  // archive, system, hidden, read-only
constexpr unsigned kHostUnix = 3;
// The file-type bits of a stored Unix mode, and their value for a regular file.
constexpr uint32_t kUnixTypeBits = 0170000;
constexpr uint32_t kUnixRegularFile = 0100000;
constexpr uint32_t kUnixLink = 0120000;

/// Copies @p text into a rename record's field of @p avail bytes, cut at a
/// whole UTF-8 character.  @return true when it fitted whole.
bool copy_field(const std::string& text, char* field, size_t avail) {
  size_t n = utf8_cut(text, avail - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
  return n == text.size();
}

/// The path a record's field holds after the callback.  A field the callback
/// left as the engine cut it means "unchanged": the whole path stays.
std::string taken_back(const char* field, size_t avail, const std::string& given, const std::string& cut) {
  std::string back(field, strnlen(field, avail));
  return back == cut ? given : back;
}

bool is_link_error(int err) { return err == ELOOP; }

}  // namespace

time_t ItemTarget::when() const {
  if (mtime >= 0) return static_cast<time_t>(mtime);
  return platform::time_from_dos_datetime(static_cast<uint32_t>(dos_date) << 16 | dos_time);
}

bool link_target_stays_inside(const std::string& relative, const std::string& target) {
  if (target.empty() || target[0] == '/' || target.find('\0') != std::string::npos) return false;
  // Depth of the link's folder below the destination.
  long depth = static_cast<long>(std::count(relative.begin(), relative.end(), '/'));
  bool named = false;  // a name was met: a ".." after it could climb out of a link
  size_t start = 0;
  while (start <= target.size()) {
    size_t end = target.find('/', start);
    if (end == std::string::npos) end = target.size();
    const std::string_view part(target.data() + start, end - start);
    if (part == "..") {
      if (named || --depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      named = true;
    }
    start = end + 1;
  }
  return true;
}

int Extraction::call_rename(const DirectoryEntry& e, ItemTarget* t) {
  const UNZIPCMDSTRUCT& c = m_run.cmd;
  if ((c.lUnZipSubOptions2 & UNZIP_OPT2_RENAME_EX) && c.lpRenameProcEX != nullptr) {
    UNZIPRENAMEINFOEX r;
    std::memset(&r, 0, sizeof r);
    r.lStructSize = OSTRANA_RENAMEINFOEX_SIZE;
    copy_field(t->path, r.szOutputPath, sizeof r.szOutputPath);
    const std::string cut = r.szOutputPath;
    r.lDosDate = t->dos_date;
    r.lDosTime = t->dos_time;
    r.lAttributes = static_cast<int32_t>(t->attributes);
    copy_field(std::string(e.name), r.szStoredName, sizeof r.szStoredName);
    r.ulSizeLow = static_cast<uint32_t>(e.uncompressed_size());
    r.ulSizeHigh = static_cast<uint32_t>(e.uncompressed_size() >> 32);
    c.lpRenameProcEX(&r, c.lpRenameUserData);
    t->path = taken_back(r.szOutputPath, sizeof r.szOutputPath, t->path, cut);
    t->dos_date = static_cast<uint16_t>(r.lDosDate);
    t->dos_time = static_cast<uint16_t>(r.lDosTime);
    t->attributes = static_cast<uint32_t>(r.lAttributes);
  } else if (c.lpRenameProc != nullptr) {
    UNZIPRENAMEINFO r;
    std::memset(&r, 0, sizeof r);
    copy_field(t->path, r.szOutputPath, sizeof r.szOutputPath);
    const std::string cut = r.szOutputPath;
    r.lDosDate = t->dos_date;
    r.lDosTime = t->dos_time;
    r.lAttributes = static_cast<int32_t>(t->attributes);
    c.lpRenameProc(&r, c.lpRenameUserData);
    t->path = taken_back(r.szOutputPath, sizeof r.szOutputPath, t->path, cut);
    t->dos_date = static_cast<uint16_t>(r.lDosDate);
    t->dos_time = static_cast<uint16_t>(r.lDosTime);
    t->attributes = static_cast<uint32_t>(r.lAttributes);
  }
  if (m_run.pump && (c.lpRenameProc != nullptr || c.lpRenameProcEX != nullptr)) platform::pump_events();
  return OU_SUCCESS;
}

int Extraction::resolve(ItemTarget* t, bool caller_chose) {
  if (!caller_chose) {
    if (!m_tree.is_open()) {
      // The destination is made (and opened) when the first item needs it.
      const std::string& d = m_run.destination;
      if (m_tree.open(d.size() > 1 ? d.substr(0, d.size() - 1) : d) != 0) return OU_CREATE_FAILED;
    }
    t->tree = &m_tree;
    // The folders above the item (a folder item's own folder comes later).
    size_t slash = t->relative.rfind('/');
    int err = m_tree.make_folders(slash == std::string::npos ? std::string() : t->relative.substr(0, slash));
    if (err == 0) return OU_SUCCESS;
    if (is_link_error(err)) {
      // A folder of the path is a symbolic link: following it could lead
      // anywhere, so the item is not written.
      std::string text = m_run.messages.format(kUnzipMsgOutsideDestination, 2, t->path.c_str());
      unzip_warn(m_run, OU_USER_SKIPPED, text.c_str());
      return OU_USER_SKIPPED;
    }
    return OU_CREATE_FAILED;
  }
  // A path the caller chose: its folders are made as it names them.
  std::string path = t->path;
  while (t->folder && path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty() && !t->folder) return OU_CREATE_FAILED;
  t->own = std::make_unique<platform::OutputTree>();
  if (t->own->open(parent) != 0) return OU_CREATE_FAILED;
  t->tree = t->own.get();
  t->relative = base;
  return OU_SUCCESS;
}

int Extraction::plan_target(const DirectoryEntry& e, const OutputName& name, ItemTarget* t) {
  t->path = output_path_of(m_run.destination, name);
  t->relative = name.relative;
  t->dos_date = e.shown_date;
  t->dos_time = e.shown_time;
  t->attributes = (e.header.external_attributes & kAttributesToSet) | (name.folder ? platform::kDosFolder : 0);
  if (e.extras.has_mtime) t->mtime = e.extras.mtime;
  const uint32_t unix_mode = e.header.external_attributes >> 16;
  if (e.header.host_system() == kHostUnix && (unix_mode & 07777) != 0) t->unix_mode = unix_mode;
  t->link = e.header.host_system() == kHostUnix && (unix_mode & kUnixTypeBits) == kUnixLink && !name.folder;

  const std::string given = t->path;
  const uint16_t date = t->dos_date, time = t->dos_time;
  call_rename(e, t);
  if (t->dos_date != date || t->dos_time != time) t->mtime = -1;  // the caller's date wins
  if (t->path.empty()) return OU_USER_SKIPPED;
  if (int rc = resolve(t, t->path != given)) return rc;
  if (int rc = protect_archive(*t)) return rc;
  return t->folder ? OU_SUCCESS : settle_existing(t);
}

int Extraction::protect_archive(const ItemTarget& t) {
  platform::PathFacts facts;
  if (t.tree->examine(t.relative, &facts) != 0 || facts.kind != platform::PathFacts::Kind::kFile) return OU_SUCCESS;
  platform::FileInfo archive;
  bool same = platform::file_info(m_run.archive_path, &archive) == 0 && archive.device == facts.device &&
              archive.inode == facts.inode;
  platform::FileInfo open_volume;
  if (!same && platform::file_info_of(m_run.archive, &open_volume) == 0)
    same = open_volume.device == facts.device && open_volume.inode == facts.inode;
  if (!same) return OU_SUCCESS;
  unzip_warn(m_run, OU_USER_SKIPPED, m_run.messages.text(kUnzipMsgOnTopOfItself, 2));
  return OU_USER_SKIPPED;
}

int Extraction::overwrite_question(ItemTarget* t, bool read_only) {
  std::string text = m_run.messages.format(read_only ? kUnzipMsgReadOnlyOverwrite : kUnzipMsgOverwrite, 0,
                                           t->path.c_str());
  const uint32_t style = m_run.level <= 200 ? OSTRANA_MB_YESNOCANCEL : OSTRANA_MB_OVERWRITE;
  switch (m_run.display(8, style, 0, 0, text.c_str())) {
    case OSTRANA_ID_YES:
      t->overwrite_read_only = true;
      return OU_SUCCESS;
    case OSTRANA_ID_YESTOALL:
    case OSTRANA_ID_IGNORE:
      t->overwrite_read_only = true;
      m_overwrite_all = true;
      return OU_SUCCESS;
    case OSTRANA_ID_NO:
      return OU_USER_SKIPPED;
    case OSTRANA_ID_CANCEL:
      return OU_USER_CANCELLED;
    case OSTRANA_ID_RENAME: {
      std::string chosen = platform::ask_save_path(m_run.messages.text(kUnzipMsgRenameTitle, 0), "All Files|*.*||",
                                                   t->path);
      if (chosen.empty()) return OU_USER_SKIPPED;
      t->path = chosen;
      return kRenamed;
    }
    default:
      t->overwrite_read_only = false;
      return OU_SUCCESS;
  }
}

int Extraction::settle_existing(ItemTarget* t) {
  for (int renames = 0;; ++renames) {
    platform::PathFacts facts;
    if (t->tree->examine(t->relative, &facts) != 0) return OU_CREATE_FAILED;
    using Kind = platform::PathFacts::Kind;
    if (facts.kind == Kind::kMissing) return OU_SUCCESS;
    if (facts.kind == Kind::kFolder) return OU_CREATE_FAILED;  // a folder is never replaced by a file
    if (m_run.cmd.overWriteFlag || m_overwrite_all) {
      t->overwrite_read_only = true;
      return OU_SUCCESS;
    }
    if (m_run.quiet) return OU_USER_SKIPPED;
    int rc = overwrite_question(t, facts.read_only);
    if (rc != kRenamed) return rc;
    // The path the user chose: its folders, the archive's protection, and
    // what stands there now.
    if (renames + 1 >= kRenameLimit) return OU_USER_SKIPPED;
    if ((rc = resolve(t, true)) != 0) return rc;
    if ((rc = protect_archive(*t)) != 0) return rc;
  }
}

int Extraction::create_folder_item(ItemTarget& t) {
  int err = t.tree->make_folders(t.relative);
  if (is_link_error(err)) {
    std::string text = m_run.messages.format(kUnzipMsgOutsideDestination, 2, t.path.c_str());
    unzip_warn(m_run, OU_USER_SKIPPED, text.c_str());
    return OU_USER_SKIPPED;
  }
  if (err != 0) return OU_CREATE_FAILED;
  // The destination itself (a folder entry with its folders dropped) keeps its own time.
  if (t.relative.empty() && t.tree == &m_tree) return OU_SUCCESS;
  if (t.tree == &m_tree) {
    m_folder_times.push_back({t.relative, t.when(), t.unix_mode});  // set once its content is in
  } else {
    (void)t.tree->set_times(t.relative, t.when());
    if (t.unix_mode != 0) (void)t.tree->set_folder_mode(t.relative, t.unix_mode);
  }
  return OU_SUCCESS;
}

int Extraction::output_failure(int code, const ItemTarget& t, int err) {
  m_item_failure = m_item + " -> " + t.path + ": " + (err != 0 ? std::strerror(err) : "read-only file");
  return code;
}

int Extraction::open_output(ItemTarget& t, platform::File* file) {
  platform::PathFacts facts;
  if (int err = t.tree->examine(t.relative, &facts)) return output_failure(OU_CREATE_FAILED, t, err);
  if (facts.kind == platform::PathFacts::Kind::kFile) {
    if (m_run.cmd.wUnzipSubOptions & UNZIP_OPT_REPLACE_READONLY) {
      // Cleared and deleted before the new file is made.
      if (facts.read_only)
        if (int err = t.tree->make_writable(t.relative)) return output_failure(OU_CREATE_FAILED, t, err);
      if (int err = t.tree->remove(t.relative)) return output_failure(OU_CREATE_FAILED, t, err);
    } else if (facts.read_only && !t.overwrite_read_only) {
      return output_failure(OU_CREATE_FAILED, t, 0);
    }
  }
  if (int err = t.tree->create_temp(t.relative, file, &t.temp)) return output_failure(OU_CREATE_FAILED, t, err);
  return OU_SUCCESS;
}

int Extraction::close_output(ItemTarget& t, platform::File* file, bool complete) {
  const bool keep = complete || (m_run.cmd.wUnzipSubOptions & UNZIP_OPT_KEEP_FAILED) != 0;
  if (!keep) {
    file->close();
    (void)t.tree->remove(t.temp);
    return OU_SUCCESS;
  }
  (void)platform::set_file_times(*file, t.when());
  // A link written as a plain file is text, never a program.
  (void)platform::set_file_permissions(*file, (t.attributes & platform::kDosReadOnly) != 0,
                                       t.link ? (t.unix_mode & 0666) | kUnixRegularFile : t.unix_mode);
  int rc = file->close() == 0 ? OU_SUCCESS : output_failure(OU_DISK_FULL, t, file->last_error());
  if (int err = t.tree->commit(t.temp, t.relative)) {
    (void)t.tree->remove(t.temp);
    return output_failure(OU_CREATE_FAILED, t, err);
  }
  return rc;
}

}  // namespace ostrana
