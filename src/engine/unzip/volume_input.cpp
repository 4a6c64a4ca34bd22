/* engine/unzip/volume_input.cpp - the archive's volumes: one file, split files, or disks. */
#include "engine/unzip/volume_input.h"

#include <cerrno>
#include <cstdio>

#include "engine/common/ascii_case.h"
#include "engine/unzip/unzip_run.h"
#include "platform/event_pump.h"
#include "platform/file_info.h"
#include "platform/volume.h"

namespace ostrana {
namespace {

constexpr int kPartQuestionType = 15;
constexpr int kOpenErrorType = 2;

bool exists(const std::string& path) { return platform::is_file_path(path); }

/// Where the file name of @p path begins.
size_t name_start(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

/// "NAME.zip..." with the part from ".zip" on replaced by @p suffix, or
/// @p suffix appended when the name holds no ".zip".
std::string with_suffix(const std::string& path, const std::string& suffix) {
  size_t start = name_start(path);
  size_t at = ascii_lower(std::string_view(path).substr(start)).rfind(".zip");
  if (at == std::string::npos) return path + suffix;
  return path.substr(0, start + at) + suffix;
}

/// True when the file name ends in a split part's suffix: ".z01" or ".001".
bool has_part_suffix(const std::string& path, size_t* suffix_at_ret = nullptr) {
  size_t start = name_start(path);
  if (path.size() < start + 5) return false;
  size_t dot = path.size() - 4;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const char* s = path.c_str() + dot;
  bool part = s[0] == '.' && digit(s[2]) && digit(s[3]) && ((s[1] == 'z' || s[1] == 'Z') || digit(s[1]));
  if (part && suffix_at_ret) *suffix_at_ret = dot;
  return part;
}

std::string volume_suffix(bool with_zip, uint32_t n) {
  char buf[32];
  if (n == 0) return ".zip";
  if (n < 100) std::snprintf(buf, sizeof buf, "%s.z%02u", with_zip ? ".zip" : "", n);
  else std::snprintf(buf, sizeof buf, "%s.%03u", with_zip ? ".zip" : "", n);
  return buf;
}

}  // namespace

std::vector<std::string> split_part_candidates(const std::string& archive_path, uint32_t n) {
  // A set opened at one of its parts (NAME.z01, NAME.001) is named as if it
  // had been opened at NAME.zip.
  std::string path = archive_path;
  size_t at = 0;
  if (ascii_lower(path).find(".zip", name_start(path)) == std::string::npos && has_part_suffix(path, &at))
    path = path.substr(0, at) + ".zip";
  std::vector<std::string> out;
  out.push_back(with_suffix(path, volume_suffix(true, n)));
  if (n != 0) {
    out.push_back(with_suffix(path, volume_suffix(false, n)));
  } else if (path != archive_path) {
    out.push_back(archive_path);
  }
  return out;
}

/* ---- the input ------------------------------------------------------------------ */

VolumeInput::VolumeInput(UnzipRun& run) : m_run(run) {
  const uint16_t options = run.cmd.wUnzipSubOptions;
  if (options & UNZIP_OPT_SPLIT_FILES) {
    m_split = true;
    m_scan_for_last = true;
  } else if (options & UNZIP_OPT_REMOVABLE) {
    m_split = false;
  } else {
    m_split = platform::volume_service().drive_kind(run.archive_path) == platform::DriveKind::kFixed;
  }
  // On a disk, or at a part of a split set, the open file may not be the last
  // volume: the end-record search must be able to say so.
  // Byte pieces are one file: they end where the archive ends.
  m_scan_for_last = !run.pieces.active() && (m_scan_for_last || !m_split || has_part_suffix(run.archive_path));
}

int64_t VolumeInput::length() { return m_run.pieces.active() ? m_run.pieces.length() : m_run.archive.size(); }

std::ptrdiff_t VolumeInput::read_at(uint64_t offset, void* buf, size_t nbytes) {
  if (m_run.pieces.active()) return m_run.pieces.read_at(offset, buf, nbytes);
  return m_run.archive.read_at(offset, buf, nbytes);
}

void VolumeInput::note_last_volume(uint32_t disk) {
  m_last = disk;
  m_volume = disk;
}

void VolumeInput::adopt_layout(const DirectoryEnd& end) {
  m_last = end.this_disk;
  m_volume = m_last == 0 ? 0 : kUnknown;
}

int VolumeInput::open_path(const std::string& path) {
  return m_run.archive.open(path, platform::File::Mode::kRead);
}

int VolumeInput::prompt(int type, int code, int extra) {
  return m_run.display(type, OSTRANA_MB_OKCANCEL, code, extra);
}

int VolumeInput::find_and_open_part(uint32_t disk) {
  const uint32_t n = disk == kLastVolume || disk == m_last ? 0 : disk + 1;
  std::string found;
  // The caller may know where the part is (display type 15).
  const MessageChannel& channel = m_run.messages.channel();
  if (channel.proc != nullptr) {
    char title[kMessageBufferSize];
    char text[kMessageBufferSize];
    compose_display(m_run.messages, *m_run.display_table, kPartQuestionType, static_cast<int>(n),
                    static_cast<int>(count_known()), m_run.archive_path.c_str(), title, text);
    int answer = channel.proc(kPartQuestionType, OSTRANA_MB_YESNOCANCEL, static_cast<int>(n),
                              static_cast<int>(count_known()), text, title, channel.data);
    text[kMessageBufferSize - 1] = '\0';
    if (m_run.pump) platform::pump_events();
    if (answer == OSTRANA_ID_CANCEL) return unzip_report(m_run, OU_USER_CANCELLED);
    if (answer == OSTRANA_ID_YES) {
      if (!exists(text)) {
        std::string detail = m_run.messages.format(kUnzipMsgPartNotFound, 2, text);
        return unzip_report(m_run, OU_USER_CANCELLED, detail.c_str());
      }
      found = text;
    }
  }
  if (found.empty()) {
    std::vector<std::string> candidates = split_part_candidates(m_run.archive_path, n);
    for (const std::string& c : candidates)
      if (exists(c)) {
        found = c;
        break;
      }
    if (found.empty()) {
      // Every name the part was looked for under.
      std::string names;
      for (const std::string& c : candidates) names += (names.empty() ? "" : " or ") + c;
      std::string detail = m_run.messages.format(kUnzipMsgPartNotFound, 2, names.c_str());
      return unzip_report(m_run, OU_USER_CANCELLED, detail.c_str());
    }
  }
  if (open_path(found) != 0) return unzip_report(m_run, OU_ARCHIVE_OPEN_FAILED, found.c_str());
  if (disk != kLastVolume) m_volume = disk;
  return 0;
}

bool VolumeInput::label_fits(uint32_t disk) {
  if (m_run.cmd.wUnzipSubOptions & UNZIP_OPT_NO_LABEL_CHECK) return true;
  std::string label;
  int rc = platform::volume_service().volume_label(m_run.archive_path, &label);
  if (rc == ENOTSUP) return true;  // nothing to compare with
  char want[32];
  std::snprintf(want, sizeof want, "PKBACK# %03u", disk + 1);
  return rc == 0 && label == want;
}

int VolumeInput::ask_for_disk(uint32_t disk, bool data_continues) {
  const int n = disk == kLastVolume ? 0 : static_cast<int>(disk + 1);
  for (int tries = 0; tries < kPromptLimit; ++tries) {
    int answer;
    if (disk == kLastVolume) answer = prompt(0, 0, -1);  // "insert the last disk"
    else if (data_continues) answer = prompt(0, n, static_cast<int>(count_known()));
    else if (m_last != kUnknown) answer = prompt(1, n, static_cast<int>(count_known()));
    else answer = prompt(0, n, 0);
    if (answer != OSTRANA_ID_OK) return OU_USER_CANCELLED;
    m_run.archive.close();
    while (open_path(m_run.archive_path) != 0)
      if (prompt(kOpenErrorType, 0, 0) != OSTRANA_ID_OK) return OU_USER_CANCELLED;
    if (data_continues && !label_fits(disk)) continue;
    if (disk != kLastVolume) m_volume = disk;
    return 0;
  }
  return OU_ARCHIVE_OPEN_FAILED;
}

int VolumeInput::select_volume(uint32_t disk, VolumeRequest why) {
  if (disk == kLastVolume) return m_split ? find_and_open_part(kLastVolume) : ask_for_disk(kLastVolume, false);
  if (disk == m_volume && m_run.archive.is_open()) return 0;
  if (!multi_volume()) return OU_MULTIDISK_UNSUPPORTED;
  if (disk > m_last) return OU_BAD_STRUCTURE;
  (void)why;
  return m_split ? find_and_open_part(disk) : ask_for_disk(disk, false);
}

int VolumeInput::reselect(uint32_t disk, VolumeRequest why) {
  if (m_split) return OU_ARCHIVE_OPEN_FAILED;
  m_volume = kUnknown;  // whatever is in the drive, it is not that disk
  return select_volume(disk, why);
}

int VolumeInput::next_data_volume() {
  if (!multi_volume() || m_volume == kUnknown || m_volume >= m_last) return OU_UNEXPECTED_EOF;
  const uint32_t next = m_volume + 1;
  return m_split ? find_and_open_part(next) : ask_for_disk(next, true);
}

/* ---- an item's stored bytes across volumes ------------------------------------- */

std::ptrdiff_t VolumeDataSource::read(uint8_t* buf, size_t avail) {
  if (m_error != 0) return -1;
  if (m_left == 0 || avail == 0) return 0;
  if (avail > m_left) avail = static_cast<size_t>(m_left);
  for (;;) {
    std::ptrdiff_t n = m_in.read_at(m_offset, buf, avail);
    if (n < 0) {
      m_error = OU_UNEXPECTED_EOF;
      return -1;
    }
    if (n > 0) {
      m_offset += static_cast<uint64_t>(n);
      m_left -= static_cast<uint64_t>(n);
      return n;
    }
    if (!m_in.multi_volume()) return 0;  // the archive ends inside the item
    if (int rc = m_in.next_data_volume()) {
      m_error = rc;
      return -1;
    }
    m_offset = 0;
  }
}

}  // namespace ostrana
