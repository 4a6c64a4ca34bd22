/* engine/unzip/extract_item.cpp - one item: its local header, its data, its check.
 *
 * Every item takes the same road, whatever it is encrypted with and whatever
 * its output: the local header is read on the volume that holds it, the
 * stored bytes are pulled through the decrypting source (a passthrough for
 * items without encryption) by the expander, which pushes the output through
 * the output stage to the file, the caller's memory or nowhere (testing).
 * Then the authentication code (AES items) or the CRC-32 is checked.
 *
 * A wrong or missing password is found before any output exists for the
 * item.  It is answered by skipping the item (49) in quiet mode, else by the
 * wrong-password question: Cancel stops the run with 44, any other answer
 * skips the item.
 */

#include "engine/common/zip_extra.h"
#include "engine/unzip/extraction.h"
#include "engine/unzip/item_info.h"
#include "engine/unzip/unzip_run.h"
#include "platform/file_info.h"

namespace ostrana {
namespace {

/// How many wrong disks or parts are put up with before an item gives up.
constexpr int kLocalHeaderTries = 64;
/// The longest link target recreated as a link (the system's path limit).
constexpr uint64_t kLinkTargetLimit = 4095;

}  // namespace

void cipher_blocks_of(const uint8_t* extra, size_t extra_nbytes, ItemDataInfo* info) {
  zip::ExtraBlock b;
  if (extra_nbytes > zip::kExtraBlockHead && zip::find_extra_block(extra, extra_nbytes, zip::kExtraAes, &b)) {
    info->aes_block = b.data - zip::kExtraBlockHead;
    info->aes_block_nbytes = b.block_nbytes();
  }
  if (extra_nbytes > zip::kExtraBlockHead &&
      zip::find_extra_block(extra, extra_nbytes, zip::kExtraStrongEncryption, &b)) {
    info->strong_block = b.data - zip::kExtraBlockHead;
    info->strong_block_nbytes = b.block_nbytes();
  }
}

int authentication_verdict(ItemDataSource& source, int rc) {
  // Damaged data of an authenticated item: when its code does not match
  // either, the data was changed, which is what the user is told (39).
  uint8_t scratch[4096];
  std::ptrdiff_t n;
  while ((n = source.read(scratch, sizeof scratch)) > 0) {
  }
  if (n < 0) return rc;
  return source.verify_end() == OU_BAD_CRC ? OU_BAD_CRC : rc;
}

std::string Extraction::item_name(const DirectoryEntry& e) const {
  return reported_name(e, (m_run.cmd.wUnzipSubOptions & UNZIP_OPT_SHORT_NAMES) != 0);
}

int Extraction::read_local_header_of(const DirectoryEntry& e, LocalEntry* local) {
  if (m_ahead && m_mode != Mode::kMemory) {
    const int rc = m_ahead->local_header(e.index, local);
    if (rc != AheadExpander::kNotAhead) return rc;
  }
  if (!m_input.multi_volume()) return read_local_header(m_input, e.local_header_offset(), e.raw_name, local);
  // The volume that holds the item must be the open one; a disk that turns
  // out to be another one (no local header, another name) is asked for again.
  for (int tries = 0; tries < kLocalHeaderTries; ++tries) {
    int rc = tries == 0 ? m_input.select_volume(e.disk_start(), VolumeRequest::kItemData)
                        : m_input.reselect(e.disk_start(), VolumeRequest::kItemData);
    if (rc != 0) return rc;
    rc = read_local_header(m_input, e.local_header_offset(), e.raw_name, local);
    if (rc == 0 && local->name_matches) return 0;
    if (!m_input.disk_mode()) return OU_ARCHIVE_OPEN_FAILED;
  }
  return OU_ARCHIVE_OPEN_FAILED;
}

int Extraction::password_question(const DirectoryEntry& e, int rc) {
  if (rc != OU_BAD_PASSWORD) return rc;
  if (m_run.quiet) return OU_USER_SKIPPED;
  std::string text = m_run.messages.format(kUnzipMsgWrongPassword, 0, item_name(e).c_str());
  int answer = m_run.display(9, OSTRANA_MB_OKCANCEL, OU_BAD_PASSWORD, 0, text.c_str());
  return answer == OSTRANA_ID_CANCEL ? OU_BAD_PASSWORD : OU_USER_SKIPPED;
}

int Extraction::extract_link(const DirectoryEntry& e, const LocalEntry& local, ItemTarget& target,
                             const std::string& activity) {
  // The target is expanded and checked in memory first: only then is it known
  // whether the link may stand as a link.
  std::vector<uint8_t> text(static_cast<size_t>(e.uncompressed_size()));
  if (int rc = expand_data(e, local, target, activity, &text)) return rc;
  const std::string link(text.begin(), text.end());
  if (link_target_stays_inside(target.relative, link)) {
    if (target.tree->make_link(target.relative, link) != 0) return OU_CREATE_FAILED;
    (void)target.tree->set_times(target.relative, target.when());
    return OU_SUCCESS;
  }
  if (!m_run.quiet) {
    std::string warning = m_run.messages.format(kUnzipMsgLinkOutside, 2, target.path.c_str(), link.c_str());
    m_run.display(OSTRANA_DISPLAY_WARNING, OSTRANA_MB_OK, 0, 0, warning.c_str());
  }
  platform::File file;
  if (int rc = open_output(target, &file)) return rc;
  int rc = text.empty() || file.write(text.data(), text.size()) == 0 ? OU_SUCCESS : OU_DISK_FULL;
  int closed = close_output(target, &file, rc == OU_SUCCESS);
  return rc != OU_SUCCESS ? rc : closed;
}

int Extraction::expand_data(const DirectoryEntry& e, const LocalEntry& local, ItemTarget& target,
                            const std::string& activity, std::vector<uint8_t>* memory) {
  ItemDataInfo info;
  info.flags = e.header.flags;
  info.crc32 = e.header.crc32;
  info.dos_time = e.header.mod_time;
  info.compressed_size = e.compressed_size();
  info.uncompressed_size = e.uncompressed_size();
  cipher_blocks_of(e.extra, e.extra_nbytes, &info);
  info.password = m_run.password.empty() ? nullptr : m_run.password.c_str();

  VolumeDataSource raw(m_input, local.data_offset, e.compressed_size());
  std::unique_ptr<ItemDataSource> source;
  if (int rc = open_item_data(info, raw, &source)) return rc;

  const UNZIPCMDSTRUCT& c = m_run.cmd;
  OutputStage::Setup setup;
  setup.text_mode = c.textOutputFlag != 0;
  platform::File file;
  const Mode mode = memory != nullptr ? Mode::kMemory : m_mode;
  switch (mode) {
    case Mode::kFiles:
      if (int rc = open_output(target, &file)) return rc;
      setup.target = OutputStage::Target::kFile;
      setup.file = &file;
      break;
    case Mode::kTest:
      setup.target = OutputStage::Target::kDiscard;
      break;
    case Mode::kMemory:
      if (memory != nullptr) {
        setup.target = OutputStage::Target::kMemory;
        setup.block = memory->data();
        setup.limit_nbytes = memory->size();
        break;
      }
      setup.starting_offset = m_run.starting_offset;
      setup.limit_nbytes = m_run.mem_block_nbytes;
      if (c.lpMemBlock != nullptr) {
        setup.target = OutputStage::Target::kMemory;
        setup.block = static_cast<uint8_t*>(c.lpMemBlock);
      } else {
        setup.target = OutputStage::Target::kCallback;
        setup.proc = m_run.data_proc;
        setup.proc_user = m_run.data_user;
      }
      break;
  }
  m_output.start(setup);

  ItemHooks hooks(m_run.status, activity, e.uncompressed_size(), source.get());
  ExpandRequest request;
  request.method = e.method;
  request.flags = e.header.flags;
  request.compressed_nbytes = e.compressed_size();
  request.uncompressed_nbytes = e.uncompressed_size();
  request.mode = mode == Mode::kMemory ? ExpandMode::kToMemory : ExpandMode::kToFile;
  request.authenticated = source->authenticates();
  request.source = source.get();
  request.sink = &m_output;
  request.hooks = &hooks;
  // A worker may have expanded it ahead: what its expander did is done here
  // again, as if this thread's expander had done it.
  AheadExpander::Replayed ahead;
  int rc = AheadExpander::kNotAhead;
  if (m_ahead && (mode == Mode::kFiles || mode == Mode::kTest))
    rc = m_ahead->replay(e.index, m_output, hooks, &ahead);
  uint64_t out_nbytes = ahead.out_nbytes;
  uint32_t crc = mode == Mode::kTest ? ahead.crc32 : m_output.crc32();
  if (rc == AheadExpander::kRedo) {
    // Its worker ran out of memory after part of it was written: that part
    // goes, and the item is expanded again here.
    if (mode == Mode::kFiles) {
      file.close();
      (void)target.tree->remove(target.temp);
      if (int again = open_output(target, &file)) return again;
      setup.file = &file;
    }
    m_output.start(setup);
  }
  if (rc == AheadExpander::kNotAhead || rc == AheadExpander::kRedo) {
    rc = m_expander.expand(request);
    out_nbytes = m_expander.out_nbytes();
    crc = m_output.crc32();
  }
  if (rc == 0 && !request.authenticated) rc = source->verify_end();
  if ((rc == OU_UNEXPECTED_EOF || rc == OU_BAD_STRUCTURE) && request.authenticated)
    rc = authentication_verdict(*source, rc);
  // The AES authentication code stands in for the CRC; a partial file-to-memory
  // extraction has nothing to check against.
  const bool partial = memory == nullptr && m_mode == Mode::kMemory && m_run.starting_offset != 0;
  if (rc == 0 && !request.authenticated && !partial && crc != e.header.crc32) rc = OU_BAD_CRC;
  if (rc == 0 && memory != nullptr && m_output.item_nbytes() != memory->size()) rc = OU_BAD_CRC;
  // A size that lies is an error even when the bytes that came check out:
  // more than declared is a structure fault, less is data that is not all there.
  if (rc == 0 && !partial && out_nbytes != e.uncompressed_size())
    rc = out_nbytes > e.uncompressed_size() ? OU_BAD_STRUCTURE : OU_BAD_CRC;
  // A wrong password passes the traditional cipher's one-byte check once in
  // 256 times; the garbage it decrypts to then fails as damaged data.
  if ((rc == OU_UNEXPECTED_EOF || rc == OU_BAD_STRUCTURE) && e.encrypted() && !request.authenticated)
    rc = OU_BAD_PASSWORD;
  if (rc == OU_DISK_FULL && mode == Mode::kFiles && m_item_failure.empty()) output_failure(rc, target, file.last_error());
  if (mode == Mode::kFiles) {
    int closed = close_output(target, &file, rc == 0);
    if (rc == 0) rc = closed;
  }
  return rc;
}

int Extraction::extract_item(const DirectoryEntry& e) {
  const std::string name = item_name(e);
  m_item = name;
  m_item_failure.clear();
  const OutputName out = output_name_of(name, m_run.cmd.noDirectoryNamesFlag != 0);
  ItemTarget target;
  target.folder = out.folder;
  if (m_mode == Mode::kFiles) {
    if (!out.usable) {
      // "../x", "a/../../x": never written, whatever the destination holds.
      std::string text = m_run.messages.format(kUnzipMsgOutsideDestination, 2, name.c_str());
      unzip_warn(m_run, OU_USER_SKIPPED, text.c_str());
      return OU_USER_SKIPPED;
    }
    if (int rc = plan_target(e, out, &target)) return rc;
  }
  if (!target.folder && !expand_supports_method(e.method)) return OU_UNKNOWN_METHOD;

  LocalEntry local;
  if (int rc = read_local_header_of(e, &local)) return rc;

  std::string activity;
  const bool logging = m_log.enabled();
  std::string logged;
  switch (m_mode) {
    case Mode::kFiles:
      activity = m_run.messages.format(kUnzipMsgExtracting, 0, target.path.c_str());
      if (logging) logged = m_run.messages.format(kUnzipMsgActivityExtracted, 0, target.path.c_str());
      break;
    case Mode::kTest:
      activity = m_run.messages.format(kUnzipMsgTesting, 0, name.c_str());
      if (logging) logged = m_run.messages.format(kUnzipMsgActivityTested, 0, name.c_str());
      break;
    case Mode::kMemory:
      activity = m_run.messages.format(kUnzipMsgFileToMemory, 0, name.c_str());
      if (logging) logged = m_run.messages.format(kUnzipMsgActivityMemory, 0, name.c_str());
      break;
  }
  if (logging) m_log.line(logged);

  if (target.folder) {
    if (int rc = m_run.status.minor(activity.c_str(), 100)) return rc;
    return m_mode == Mode::kFiles ? create_folder_item(target) : OU_SUCCESS;
  }
  if (e.header.external_attributes & platform::kDosVolumeLabel) return OU_VOLUME_ID;
  if (m_mode == Mode::kFiles && target.link && e.uncompressed_size() <= kLinkTargetLimit)
    return password_question(e, extract_link(e, local, target, activity));
  return password_question(e, expand_data(e, local, target, activity));
}

}  // namespace ostrana
