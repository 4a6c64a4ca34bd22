/* engine/zip/multi_volume_output.cpp - the archive writer's output spread over pieces. */
#include "engine/zip/multi_volume_output.h"

#include <algorithm>
#include <cerrno>

#include "engine/common/zip_records.h"
#include "ostrana_callbacks.h"
#include "engine/zip/directory_first.h"
#include "engine/zip/zip_run.h"
#include "platform/file.h"
#include "platform/folders.h"
#include "platform/volume.h"

namespace ostrana {
namespace {

constexpr size_t kCentralHeadNbytes = 46;

}  // namespace

// ---- the output ------------------------------------------------------------------------------

int MultiVolumeOutput::open(uint32_t disk) {
  platform::File* file = nullptr;
  uint64_t limit = 0;
  if (int rc = m_store.open_piece(disk, &file, &limit)) return fail(rc);
  m_piece = std::make_unique<FileArchiveOutput>(*file, 0, OZ_WRITE_FAILED);
  m_disk = disk;
  m_open = true;
  m_in_piece = 0;
  m_limit = limit;
  return 0;
}

int MultiVolumeOutput::start(bool signature) {
  m_with_signature = signature;
  if (int rc = open(0)) return rc;
  if (!signature) return 0;
  uint8_t marker[4];
  zip::put_le32(marker, zip::kDataDescriptorSignature);
  return write(marker, sizeof marker);
}

int MultiVolumeOutput::next_piece() {
  if (m_piece->finish() != 0) return fail(OZ_WRITE_FAILED);
  m_open = false;
  if (int rc = m_store.close_piece(m_disk, false)) return fail(rc);
  return open(m_disk + 1);
}

int MultiVolumeOutput::write(const uint8_t* data, size_t nbytes) {
  if (m_code != 0) return m_code;
  while (nbytes != 0) {
    if (m_in_piece >= m_limit)
      if (int rc = next_piece()) return rc;
    size_t n = static_cast<size_t>(std::min<uint64_t>(nbytes, m_limit - m_in_piece));
    if (int rc = m_piece->write(data, n)) return fail(rc);
    m_in_piece += n;
    data += n;
    nbytes -= n;
  }
  return 0;
}

int MultiVolumeOutput::keep_together(size_t nbytes) {
  if (m_code != 0) return m_code;
  if (m_limit - m_in_piece >= nbytes) return 0;
  // An empty piece is as much room as there is: what does not fit there
  // cannot be kept whole.  (The first piece holds the signature.)
  const uint64_t empty = m_disk == 0 && m_with_signature ? 4 : 0;
  if (m_in_piece <= empty) return fail(OZ_TOO_BIG);
  if (int rc = next_piece()) return rc;
  if (m_limit < nbytes) return fail(OZ_TOO_BIG);
  return 0;
}

int MultiVolumeOutput::finish() {
  if (m_code != 0) return m_code;
  if (!m_open) return 0;
  if (m_piece->finish() != 0) return fail(OZ_WRITE_FAILED);
  m_open = false;
  ++m_disk;
  if (int rc = m_store.close_piece(m_disk - 1, true)) return fail(rc);
  return 0;
}

// ---- split parts -------------------------------------------------------------------------------

int SplitPieceStore::open_piece(uint32_t disk, platform::File** file_ret, uint64_t* limit_ret) {
  const uint32_t part = disk + 1;
  const std::string name = part_name(part);
  if (part > kMaxSplitParts) return zip_report(m_run, OZ_TEMP_FAILED, name.c_str());
  if (!m_file.is_open() && m_file.open(name, platform::File::Mode::kCreate) != 0)
    return zip_report(m_run, OZ_TEMP_FAILED, name.c_str());
  // The part's size, but never more than its volume has free.
  uint64_t free = 0;
  if (platform::volume_service().free_space(name, &free) != 0) free = UINT64_MAX >> 1;
  uint64_t limit = m_sizes.part_nbytes(part);
  if (limit == 0 || limit > free) limit = free;
  if (limit == 0) return zip_report(m_run, OZ_WRITE_FAILED, name.c_str());
  *file_ret = &m_file;
  *limit_ret = limit;
  return 0;
}

int SplitPieceStore::close_piece(uint32_t disk, bool last) {
  const std::string name = part_name(disk + 1);
  if (m_file.close() != 0) return zip_report(m_run, OZ_WRITE_FAILED, name.c_str());
  if (!last && !(m_directory_first && disk == 0)) {
    // Announced to the caller only (never as a box).
    m_run.display(14, OSTRANA_MB_OK, static_cast<int>(disk + 1), 0, name.c_str());
  }
  return 0;
}

int SplitPieceStore::rewrite_first_piece(const std::vector<uint8_t>& directory, const std::string& first_name) {
  platform::File part;
  std::vector<uint8_t> head(kCentralHeadNbytes + first_name.size());
  std::ptrdiff_t got = -1;
  if (part.open(m_first, platform::File::Mode::kReadWrite) == 0) got = part.read_at(0, head.data(), head.size());
  // A part that is not the one written cannot be asked for again: the run ends.
  if (got < 0 || !starts_with_central_header(head.data(), static_cast<size_t>(got), first_name))
    return zip_report(m_run, OZ_INTERRUPTED, m_first.c_str());
  if (part.write_at(0, directory.data(), directory.size()) != 0 || part.sync() != 0 || part.close() != 0)
    return zip_report(m_run, OZ_WRITE_FAILED, m_first.c_str());
  return 0;
}

}  // namespace ostrana
