/* engine/zip/archive_writing.cpp - writing the new archive and putting it in place.
 *
 * Sections: the output (temporary file or the old archive when appending);
 * copying an entry unchanged; compressing an entry; the run of entries in
 * archive order, then the new files; the central directory and end records;
 * replacing the old archive; the finish.
 *
 * A multi-volume archive goes into a MultiVolumeOutput instead (no old
 * archive, no temporary file): entries carry data descriptors, and the last
 * piece is put in place by multi_volume_setup.h.
 *
 * Appending writes over the old central directory in place.  Its old bytes
 * (directory, end records, comment) are kept in memory, and a run that fails
 * after it started writing puts them back and cuts the file to its old
 * length, so a failed append leaves the archive as it was.
 */
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "engine/common/append_rollback.h"
#include "engine/common/entry_names.h"
#include "engine/common/progress.h"
#include "engine/zip/archive_operation.h"
#include "engine/zip/directory_first.h"
#include "engine/zip/multi_volume_setup.h"
#include "engine/zip/temp_archive.h"
#include "engine/zip/zip_messages.h"
#include "engine/zip/zip_output.h"
#include "engine/zip/zip_run.h"
#include "engine/zip/zip_sources.h"
#include "platform/clock.h"
#include "platform/file_info.h"
#include "platform/folders.h"
#include "platform/output_tree.h"

namespace ostrana {

using namespace zip;

namespace {

constexpr size_t kCopyBlock = 256 * 1024;
/// The mode of a folder entry whose folder was not examined.
constexpr uint32_t kFolderEntryMode = 040755;
/// Warning before a name that is not valid UTF-8 (stored as its bytes, without flag bit 11).
constexpr const char* kRawNameWarning = "name is not valid UTF-8, stored as its bytes: ";

struct Writer {
  Writer(ZipRun& r, ArchivePlan& p) : run(r), plan(p) {}
  ZipRun& run;
  ArchivePlan& plan;
  ArchiveOutput* out = nullptr;
  std::string out_name;               ///< what the output is, for reports ("the temporary archive in DIR", ...)
  std::vector<CentralRecord> records;
  uint64_t item = 0;                  ///< compressed entries so far, for "Item n of N"
  std::string first_unopened;         ///< the first source that could not be opened
  struct Stored {
    std::string path;
    bool folder;
  };
  std::vector<Stored> stored;         ///< sources stored from files (deleteOriginalFlag)
};

std::string with_name(ZipRun& run, int message_id, const std::string& name) {
  return std::string(run.messages.text(message_id, 1)) + " " + name;
}

// ---- copying an entry unchanged ----------------------------------------------------------

/// Copies [@p from, @p to) of the old archive into the output.
int copy_range(Writer& w, uint64_t from, uint64_t to) {
  platform::File& in = w.plan.old.file();
  std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(kCopyBlock, to - from)));
  while (from < to) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), to - from));
    std::ptrdiff_t got = in.read_at(from, block.data(), n);
    if (got < 0) return OZ_READ_FAILED;
    if (static_cast<size_t>(got) != n) return OZ_UNEXPECTED_EOF;
    if (int rc = w.out->write(block.data(), n)) return rc;
    from += n;
    if (int rc = w.run.status.major_poll()) return rc;
  }
  return OZ_SUCCESS;
}

int copy_entry(Writer& w, const OldEntry& e) {
  const EntrySettings& s = w.plan.settings;
  if (!s.large && w.out->offset() >= kSaturated32) return OZ_TOO_BIG;
  CentralRecord r = e.central;
  r.local_offset = w.out->offset();
  r.disk = w.out->disk();
  if (w.plan.fix_level >= 2) {
    // A new local header from what is known of the entry; data and
    // descriptor follow as they were.  A 24-byte descriptor needs the Zip64
    // block in its local header.
    const uint64_t descriptor = e.end_offset - e.data_offset - r.compressed_size;
    const bool zip64 = descriptor == kDataDescriptor64Size ||
                       r.compressed_size >= kSaturated32 || r.uncompressed_size >= kSaturated32;
    uint16_t version = r.header.version_needed & 0xFF;
    if (zip64 && version < kVersionZip64) version = kVersionZip64;
    std::vector<uint8_t> local = local_header_bytes(r, zip64, version);
    if (int rc = w.out->keep_together(local.size())) return rc;
    if (int rc = w.out->write(local.data(), local.size())) return rc;
    if (int rc = copy_range(w, e.data_offset, e.end_offset)) return rc;
  } else {
    if (int rc = copy_range(w, e.local_offset, e.end_offset)) return rc;
  }
  w.records.push_back(std::move(r));
  return OZ_SUCCESS;
}

// ---- compressing an entry ------------------------------------------------------------------

enum class SourceKind { kFile, kMemoryBlock, kCallback };

/// The pool's result for the file @p entry when its workers compressed it
/// ahead (the same files start_compression() plans); null: compress it here.
std::unique_ptr<AheadResult> take_ahead(const EntrySettings& settings, const EntrySource& entry) {
  if (settings.pool == nullptr || settings.convert_eol || entry.path.empty() ||
      entry_method(entry, true, settings) == zip::kMethodStore)
    return nullptr;
  return settings.pool->take(entry.path, entry.size);
}

/// Compresses one entry.  @return 0, OZ_NOT_FOUND when its file cannot be
/// opened (nothing written), or a code with *@p detail set.
int compress_entry(Writer& w, EntrySource entry, SourceKind kind, std::string* detail) {
  ZipRun& run = w.run;
  const bool folder = (entry.attributes & platform::kDosFolder) != 0;
  platform::File file;
  FileSource file_source(file);
  std::string link_target;
  MemorySource link_source(nullptr, 0);
  std::unique_ptr<AheadResult> ahead;
  MemorySource block(run.mem_block, static_cast<size_t>(run.mem_block_nbytes));
  CallbackSource callback(run.data_proc, run.data_user);
  ByteSource* data = nullptr;
  if (!folder) {
    switch (kind) {
      case SourceKind::kFile:
        if (is_link_entry(entry)) {
          // A link is stored as a link: its data is the target it names.
          if (platform::read_link(entry.path, &link_target) != 0) return OZ_NOT_FOUND;
          entry.size = link_target.size();
          link_source = MemorySource(reinterpret_cast<const uint8_t*>(link_target.data()), link_target.size());
          data = &link_source;
          break;
        }
        if (ahead = take_ahead(w.plan.settings, entry); ahead) {
          // A worker has read and compressed it already: no need to open it here too.
          entry.ahead = ahead.get();
          data = &link_source;  // empty; the entry writer uses the result
          break;
        }
        if (file.open(entry.path, platform::File::Mode::kRead) != 0) return OZ_NOT_FOUND;
        if (int64_t size = file.size(); size >= 0) entry.size = static_cast<uint64_t>(size);
        data = &file_source;
        break;
      case SourceKind::kMemoryBlock:
        entry.size = run.mem_block_nbytes;
        data = &block;
        break;
      case SourceKind::kCallback:
        entry.from_callback = true;
        data = &callback;
        break;
    }
  }
  ++w.item;
  std::string text = kind == SourceKind::kMemoryBlock
                         ? std::string(run.messages.text(kZipMsgMemoryToFile, 1))
                         : run.messages.format(kZipMsgItemOf, 1, static_cast<int>(w.item),
                                               static_cast<int>(w.plan.to_compress));
  if (int rc = run.status.major(text.c_str(), item_percent(w.item, w.plan.to_compress))) return rc;

  if (stored_name_kind(entry.name) == StoredName::kRawBytes) zip_warning(run, kRawNameWarning + entry.name);
  EntryProgress progress(run, entry.name, entry.size);
  const uint64_t start = w.out->offset();
  CentralRecord r;
  int rc = write_entry(*w.out, entry, data, w.plan.settings, zip_thread_state(true)->compressor, &progress, &r, detail);
  if (rc == kEntryNeedsZip64 && kind != SourceKind::kCallback) {
    // The data outgrew its local header: write the entry again with Zip64.
    entry.force_zip64 = true;
    rc = w.out->truncate(start);
    if (rc == 0 && kind == SourceKind::kFile && !ahead && file.seek(0) != 0) rc = OZ_READ_FAILED;
    block = MemorySource(run.mem_block, static_cast<size_t>(run.mem_block_nbytes));
    if (rc == 0) rc = write_entry(*w.out, entry, data, w.plan.settings, zip_thread_state(true)->compressor,
                                  &progress, &r, detail);
  }
  if (rc == kEntryNeedsZip64) rc = OZ_TOO_BIG;
  if (rc == OZ_BAD_PARAMETERS && callback.detail_id() != 0) *detail = run.messages.text(callback.detail_id(), 1);
  if (rc != 0) return rc;
  w.records.push_back(std::move(r));
  if (kind == SourceKind::kFile) {
    zip_log_item(run, kZipMsgLogAdded, entry.path);
    w.stored.push_back({entry.path, folder});
  } else {
    zip_log_item(run, kZipMsgLogMemory, entry.name);
  }
  return OZ_SUCCESS;
}

EntrySource entry_from(const SelectedFile& f, const std::string& name) {
  EntrySource e;
  e.name = name;
  e.path = f.source_path;
  e.dos_datetime = f.dos_datetime;
  e.attributes = f.attributes;
  e.size = f.size;
  if (f.unix_mode != 0) e.unix_mode = f.unix_mode;
  else if (f.is_folder()) e.unix_mode = kFolderEntryMode;
  e.mtime = f.mtime;
  return e;
}

EntrySource memory_entry(const std::string& name) {
  EntrySource e;
  const time_t now = platform::clock_now();
  e.name = name;
  e.dos_datetime = platform::dos_datetime_from_time(now);
  e.mtime = static_cast<int64_t>(now);
  e.attributes = platform::kDosArchive;
  return e;
}

/// @p detail with the output's name and the system's reason in front when the
/// output failed (a full disk is then called what it is).
std::string with_output_failure(const Writer& w, const std::string& detail) {
  const int err = w.out != nullptr ? w.out->system_error() : 0;
  if (err == 0) return detail;
  std::string text = w.out_name + ": " + std::strerror(err);
  return detail.empty() ? text : text + "; " + detail;
}

int report_detail(Writer& w, int rc, const std::string& detail, int message_id, const std::string& name) {
  ZipRun& run = w.run;
  if (rc == OZ_TOO_BIG && run.cmd.LargeZIPFilesFlag == 0)
    return zip_report(run, rc, (std::string(run.messages.text(kZipMsgNeedsZip64, 1)) + ": " + name).c_str());
  return zip_report(run, rc, with_output_failure(w, detail.empty() ? with_name(run, message_id, name) : detail).c_str());
}

int report_output(Writer& w, int rc, int message_id) {
  if (w.run.reported) return w.run.result;
  return zip_report(w.run, rc, with_output_failure(w, w.run.messages.text(message_id, 2)).c_str());
}

// ---- the entries, in order ---------------------------------------------------------------------

/// The run's compression threads, told which small files to compress ahead
/// (the ones write_entries() will deflate, in its order); null: one thread.
std::unique_ptr<CompressionPool> start_compression(Writer& w) {
  ArchivePlan& plan = w.plan;
  const EntrySettings& settings = plan.settings;
  if ((w.run.cmd.lZipSubOptions2 & ZIP_OPT2_ONE_THREAD) != 0 || settings.compression.method == kMethodStored)
    return nullptr;
  std::unique_ptr<CompressionPool> pool = CompressionPool::create(WorkerPool::default_threads());
  if (!pool || settings.convert_eol || plan.action == ZipAction::kDelete) return pool;
  std::vector<CompressionPool::Ahead> ahead;
  auto consider = [&](const SelectedFile& f, const std::string& name) {
    EntrySource e = entry_from(f, name);
    if (e.size == 0 || e.size > kDeflateChunkNbytes) return;
    const uint16_t method = entry_method(e, true, settings);
    if (method == zip::kMethodStore) return;
    ahead.push_back({e.path, e.size, entry_deflate_options(settings, method, w.out->repositionable(), false)});
  };
  for (const OldEntry& e : plan.old.entries())
    if (e.marked && !e.memory_source) consider(e.source, e.shown_name);
  for (const SelectedFile& f : plan.new_files) consider(f, f.name);
  pool->planAhead(std::move(ahead));
  return pool;
}

int write_entries(Writer& w) {
  ZipRun& run = w.run;
  ArchivePlan& plan = w.plan;
  std::unique_ptr<CompressionPool> pool = start_compression(w);
  struct PoolInSettings {
    EntrySettings& settings;
    ~PoolInSettings() { settings.pool = nullptr; }
  } in_settings{plan.settings};
  plan.settings.pool = pool.get();
  const SourceKind memory_kind = plan.memory.from_callback ? SourceKind::kCallback : SourceKind::kMemoryBlock;

  for (OldEntry& e : plan.old.entries()) {
    std::string detail;
    if (e.marked && plan.action == ZipAction::kDelete) {
      zip_log_item(run, kZipMsgLogDeleted, e.shown_name);
      continue;
    }
    if (e.marked) {
      int rc = e.memory_source ? compress_entry(w, memory_entry(e.shown_name), memory_kind, &detail)
                               : compress_entry(w, entry_from(e.source, e.shown_name), SourceKind::kFile, &detail);
      if (rc == OZ_NOT_FOUND) {
        zip_warning(run, run.messages.text(kZipMsgCopyInstead, 1) + e.source.source_path);
        if (w.first_unopened.empty()) w.first_unopened = e.source.source_path;
        rc = copy_entry(w, e);
        if (rc != 0) return report_detail(w, rc, "", kZipMsgCopying, e.shown_name);
        continue;
      }
      if (rc != 0) return report_detail(w, rc, detail, kZipMsgAboutToZip, e.shown_name);
      continue;
    }
    if (plan.append) {
      w.records.push_back(e.central);  // stays where it is
      continue;
    }
    if (int rc = copy_entry(w, e)) return report_detail(w, rc, "", kZipMsgCopying, e.shown_name);
  }

  if (plan.memory.present && !plan.memory.replaces_old) {
    std::string detail;
    if (int rc = compress_entry(w, memory_entry(plan.memory.name), memory_kind, &detail))
      return report_detail(w, rc, detail, kZipMsgAboutToZip, plan.memory.name);
  }
  for (const SelectedFile& f : plan.new_files) {
    std::string detail;
    int rc = compress_entry(w, entry_from(f, f.name), SourceKind::kFile, &detail);
    if (rc == OZ_NOT_FOUND) {
      // The archive is finished with what was written; the run says 18.
      zip_warning(run, run.messages.text(kZipMsgCouldNotOpen, 1) + f.source_path);
      if (w.first_unopened.empty()) w.first_unopened = f.source_path;
      break;
    }
    if (rc != 0) return report_detail(w, rc, detail, kZipMsgAboutToZip, f.name);
  }
  return OZ_SUCCESS;
}

// ---- the finish --------------------------------------------------------------------------------

void finish_run(Writer& w) {
  ZipRun& run = w.run;
  const std::string& archive = run.output->archive_path;
  if (run.cmd.oldAsLatestFlag != 0) {
    uint32_t newest = 0;
    for (const CentralRecord& r : w.records) newest = std::max(newest, r.dos_datetime());
    if (w.records.empty()) zip_warning(run, run.messages.text(kZipMsgEmptyNoLatest, 1));
    else platform::set_file_mtime(archive, static_cast<int64_t>(platform::time_from_dos_datetime(newest)));
  }
  if (run.cmd.deleteOriginalFlag != 0) {
    std::vector<std::string> folders;
    for (const Writer::Stored& s : w.stored) {
      if (s.folder) folders.push_back(s.path);
      else if (platform::remove_file(s.path) == 0 && run.cmd.noDirectoryEntriesFlag != 0)
        folders.push_back(platform::parent_folder(s.path));
    }
    // Deepest first, so a folder emptied by removing its subfolders goes too.
    auto depth = [](const std::string& p) { return std::count(p.begin(), p.end(), '/'); };
    std::sort(folders.begin(), folders.end(), [&](const std::string& a, const std::string& b) {
      return depth(a) != depth(b) ? depth(a) > depth(b) : a > b;
    });
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& f : folders)
      if (!f.empty() && f != "/") platform::remove_folder(f);
  }
}

/// The placeholder directory of the directory-first layout: one header per
/// entry about to be compressed, in the order write_entries() writes them.
std::vector<CentralRecord> placeholder_directory(const ArchivePlan& plan) {
  std::vector<CentralRecord> records;
  const uint16_t method = plan.settings.compression.method;
  if (plan.memory.present && !plan.memory.replaces_old) {
    EntrySource e = memory_entry(plan.memory.name);
    records.push_back(placeholder_record(e.name, entry_extra_blocks(e, plan.settings, method)));
  }
  for (const SelectedFile& f : plan.new_files)
    records.push_back(placeholder_record(f.name, entry_extra_blocks(entry_from(f, f.name), plan.settings, method)));
  return records;
}

/// The new archive spread over pieces.
int write_multi_volume(Writer& w) {
  ZipRun& run = w.run;
  const bool directory_first = (run.output->control & ZIP_MV_DIRECTORY_FIRST) != 0;
  std::unique_ptr<PieceStore> store = start_multi_volume_pieces(run);
  MultiVolumeOutput out(*store);
  w.out = &out;
  std::vector<CentralRecord> placeholders;
  std::vector<uint8_t> directory;
  int rc = out.start(!directory_first);
  if (rc == 0 && directory_first) {
    // The placeholders open the first piece, whole.
    placeholders = placeholder_directory(w.plan);
    if (!central_directory_bytes(placeholders, &directory)) rc = zip_report(run, OZ_BAD_STRUCTURE);
    else if ((rc = out.keep_together(directory.size())) == 0) rc = out.write(directory.data(), directory.size());
    if (rc != 0) rc = zip_report_message(run, rc, kZipMsgAddingFiles);
  }
  if (rc == 0) rc = write_entries(w);
  if (rc == 0) {
    if (directory_first) {
      const size_t placeholder_nbytes = directory.size();
      if (!central_directory_bytes(w.records, &directory) || directory.size() > placeholder_nbytes) rc = OZ_INTERNAL;
      else rc = write_directory_first_end(out, w.records.size(), directory.size(), w.plan.comment);
    } else {
      rc = write_central_directory(out, w.records, w.plan.comment, w.plan.settings.large);
    }
    if (rc == OZ_TOO_BIG) rc = zip_report_too_big(run);
    else if (rc != 0) rc = zip_report_message(run, rc, kZipMsgAddingFiles);
  }
  if (rc == 0 && (rc = out.finish()) != 0) rc = zip_report(run, rc);
  if (rc == 0 && directory_first && !placeholders.empty())
    rc = store->rewrite_first_piece(directory, placeholders.front().name);
  if (rc == 0) rc = complete_multi_volume(run, out.pieces());
  if (rc != 0) return zip_report(run, rc);
  w.out = nullptr;
  finish_run(w);
  if (!w.first_unopened.empty()) return zip_report(run, OZ_NOT_FOUND, w.first_unopened.c_str());
  if (!w.plan.unreadable.empty()) return zip_report(run, OZ_NOT_FOUND, w.plan.unreadable.c_str());
  return OZ_SUCCESS;
}

}  // namespace

// ---- the whole output ----------------------------------------------------------------------------

int write_archive(ZipRun& run, ArchivePlan& plan) {
  ZipOutputState& o = *run.output;
  const std::string& archive = o.archive_path;
  if (o.multi_volume) {
    Writer w(run, plan);
    return write_multi_volume(w);
  }

  // The archive must be creatable (or, when it exists, writable).
  int mode = -1;
  {
    unsigned m = 0;
    if (plan.old.exists() && platform::file_mode(archive, &m) == 0) mode = static_cast<int>(m);
    platform::File probe;
    if (plan.old.exists()) {
      if (probe.open(archive, platform::File::Mode::kReadWrite) != 0)
        return zip_report(run, OZ_CREATE_FAILED, archive.c_str());
    } else {
      int err = platform::make_folder_path(platform::parent_folder(archive));
      if (err == 0) err = probe.open(archive, platform::File::Mode::kCreateExclusive, 0666);
      if (err != 0) return zip_report(run, OZ_CREATE_FAILED, archive.c_str());
      probe.close();
      platform::remove_file(archive);
    }
  }

  Writer w(run, plan);
  platform::File appended;
  std::vector<uint8_t> old_tail;
  std::unique_ptr<FileArchiveOutput> out;
  if (plan.append) {
    const uint64_t at = plan.old.directory_offset();
    old_tail.resize(static_cast<size_t>(plan.old.file_nbytes() - at));
    if (appended.open(archive, platform::File::Mode::kReadWrite) != 0 ||
        appended.read_at(at, old_tail.data(), old_tail.size()) != static_cast<std::ptrdiff_t>(old_tail.size()))
      return zip_report(run, OZ_UNEXPECTED_EOF, archive.c_str());
    // Nothing of the old archive is overwritten before the means to undo it are on the disk.
    if (int err = save_rollback(archive, appended, at, old_tail)) {
      const std::string detail = rollback_path(archive) + ": " + std::strerror(err);
      return zip_report(run, OZ_TEMP_FAILED, detail.c_str());
    }
    out = std::make_unique<FileArchiveOutput>(appended, at, OZ_TEMP_FAILED);
  } else {
    if (!o.temp.is_open()) {
      const bool use_temp = run.cmd.pathForTempFlag != 0 && !run.temp_path.empty();
      o.temp_folder = temp_folder_for(archive, use_temp, run.temp_path);
      int rc = create_temp_archive(o.temp_folder, &o.temp, &o.temp_path, true);
      if (rc == OZ_OUT_OF_MEMORY) return zip_report_message(run, rc, kZipMsgTempName);
      if (rc != 0) return zip_report(run, rc, o.temp_path.empty() ? archive.c_str() : o.temp_path.c_str());
    }
    out = std::make_unique<FileArchiveOutput>(o.temp, 0, OZ_TEMP_FAILED);
  }
  w.out = out.get();
  if (plan.append) w.out_name = archive;
  else if (!o.temp_path.empty()) w.out_name = o.temp_path;
  else w.out_name = "the temporary archive in " + (o.temp_folder.empty() ? std::string(".") : o.temp_folder);

  int rc = OZ_SUCCESS;
  if (!plan.append && plan.fix_level == 0 && plan.old.preamble_nbytes() != 0) {
    rc = copy_range(w, 0, plan.old.preamble_nbytes());
    if (rc != 0) rc = zip_report_message(run, rc, kZipMsgCopying);
  }
  if (rc == 0) rc = write_entries(w);
  if (rc == 0) {
    rc = write_central_directory(*w.out, w.records, plan.comment, plan.settings.large);
    if (rc == OZ_TOO_BIG) rc = zip_report_too_big(run);
    else if (rc != 0) rc = report_output(w, rc, kZipMsgAddingFiles);
  }
  if (rc == 0 && w.out->finish() != 0)
    rc = zip_report(run, plan.append ? OZ_WRITE_FAILED : OZ_TEMP_FAILED, with_output_failure(w, "").c_str());
  if (plan.append) {
    if (rc != 0) {
      // Put the old directory back: the archive is as it was.
      appended.write_at(plan.old.directory_offset(), old_tail.data(), old_tail.size());
      appended.truncate(plan.old.file_nbytes());
      if (appended.sync() == 0) discard_rollback(archive);  // else the next run undoes it from the file
    }
    if (appended.close() != 0 && rc == 0) rc = zip_report(run, OZ_WRITE_FAILED);
    if (rc != 0) return rc;
    // The new end record is on the disk.  A rollback file that cannot be
    // removed would undo this append at the next run: undo it now instead,
    // and say so.
    if (int err = discard_rollback(archive)) {
      std::string detail = rollback_path(archive) + ": " + std::strerror(err);
      if (restore_from_rollback(archive, &detail) != RollbackOutcome::kRestored) detail += "; " + archive;
      return zip_report(run, OZ_WRITE_FAILED, detail.c_str());
    }
  } else {
    if (rc != 0) return rc;
    if (o.temp.unnamed() && name_temp_archive(o.temp_folder, &o.temp, &o.temp_path) != 0)
      return zip_report(run, OZ_TEMP_FAILED, o.temp_folder.c_str());
    if (o.temp.close() != 0) return zip_report(run, OZ_TEMP_FAILED);
    plan.old.file().close();
    rc = replace_archive(o.temp_path, archive, mode);
    if (rc != 0) {
      o.keep_temp = true;
      zip_warning(run, run.messages.text(kZipMsgLeftAs, 1) + o.temp_path);
      return zip_report_message(run, rc, kZipMsgReplacingOriginal);
    }
    o.temp_path.clear();
  }

  finish_run(w);
  if (!w.first_unopened.empty()) return zip_report(run, OZ_NOT_FOUND, w.first_unopened.c_str());
  if (!plan.unreadable.empty()) return zip_report(run, OZ_NOT_FOUND, plan.unreadable.c_str());
  return OZ_SUCCESS;
}

}  // namespace ostrana
