/* engine/unzip/output_stage.cpp - where an item's expanded bytes go. */
#include "engine/unzip/output_stage.h"

#include <algorithm>
#include <cstring>

#include "engine/common/crc32.h"
#include "ostrana_results.h"

namespace ostrana {

int call_data_proc(OSTRANA_DATA_PROC proc, void* user, int direction, uint8_t* buffer, uint32_t* length,
                   uint64_t position) {
  const uint32_t asked = *length;
  int32_t status = OSTRANA_DATA_MORE;
  proc(direction, buffer, length, static_cast<uint32_t>(position), static_cast<uint32_t>(position >> 32), 0, 0,
       user, &status);
  if (*length > asked) *length = asked;  // never trust a count beyond the buffer
  switch (status) {
    case OSTRANA_DATA_MORE: return 0;
    case OSTRANA_DATA_END: return OU_UNEXPECTED_EOF;
    case OSTRANA_DATA_CANCEL: return OU_USER_CANCELLED;
    default: return OU_OUT_OF_MEMORY;
  }
}

void OutputStage::start(const Setup& setup) {
  m_setup = setup;
  m_crc = 0;
  m_item_nbytes = 0;
  m_delivered = 0;
  m_skip = setup.target == Target::kMemory || setup.target == Target::kCallback ? setup.starting_offset : 0;
}

int OutputStage::write(const uint8_t* data, size_t nbytes) {
  m_crc = ostrana::crc32(m_crc, data, nbytes);
  m_item_nbytes += nbytes;
  if (m_skip != 0) {
    size_t drop = static_cast<size_t>(std::min<uint64_t>(m_skip, nbytes));
    data += drop;
    nbytes -= drop;
    m_skip -= drop;
  }
  if (nbytes == 0 || m_setup.target == Target::kDiscard) return 0;
  if (!m_setup.text_mode) return deliver(data, nbytes);
  m_scratch.clear();
  m_scratch.reserve(nbytes + nbytes / 8 + 16);
  const uint8_t* end = data + nbytes;
  for (const uint8_t* p = data; p != end;) {
    const uint8_t* lf = static_cast<const uint8_t*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    const uint8_t* stop = lf ? lf : end;
    m_scratch.insert(m_scratch.end(), p, stop);
    if (!lf) break;
    m_scratch.push_back('\r');
    m_scratch.push_back('\n');
    p = lf + 1;
  }
  return deliver(m_scratch.data(), m_scratch.size());
}

int OutputStage::deliver(const uint8_t* data, size_t nbytes) {
  switch (m_setup.target) {
    case Target::kDiscard:
      return 0;
    case Target::kFile:
      if (m_setup.file->write(data, nbytes) != 0) return OU_DISK_FULL;
      m_delivered += nbytes;
      return 0;
    case Target::kMemory: {
      const uint64_t room = m_setup.limit_nbytes - m_delivered;
      const size_t take = static_cast<size_t>(std::min<uint64_t>(room, nbytes));
      if (take != 0) std::memcpy(m_setup.block + m_delivered, data, take);
      m_delivered += take;
      return take < nbytes ? OU_DISK_FULL : 0;
    }
    case Target::kCallback:
      return to_callback(data, nbytes);
  }
  return 0;
}

int OutputStage::to_callback(const uint8_t* data, size_t nbytes) {
  size_t take = nbytes;
  bool full = false;
  if (m_setup.limit_nbytes != 0) {
    const uint64_t room = m_setup.limit_nbytes - m_delivered;
    if (room < nbytes) {
      take = static_cast<size_t>(room);
      full = true;
    }
  }
  // The caller gets a copy: the expander's buffer is its history window.
  const uint8_t* from = data;
  if (from != m_scratch.data()) {
    m_copy.assign(data, data + take);
    from = m_copy.data();
  }
  size_t done = 0;
  while (done < take) {
    uint32_t length = static_cast<uint32_t>(std::min<size_t>(take - done, UINT32_MAX));
    uint8_t* buffer = const_cast<uint8_t*>(from + done);
    if (int rc = call_data_proc(m_setup.proc, m_setup.proc_user, OSTRANA_DATA_FROM_ENGINE, buffer, &length,
                                m_delivered))
      return rc;
    if (length == 0) return OU_DISK_FULL;  // the caller takes nothing more
    done += length;
    m_delivered += length;
  }
  return full ? OU_DISK_FULL : 0;
}

}  // namespace ostrana
