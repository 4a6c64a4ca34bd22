/* engine/common/dos_time.h - the fields of a DOS date and time.
 *
 * The ZIP format keeps an entry's modification time as two 16-bit DOS words:
 * date = (year - 1980) << 9 | month << 5 | day, time = hour << 11 | minute << 5 |
 * seconds / 2; the engine's 32-bit form puts the date in the high word.  These
 * helpers split the words into fields (for the texts the engine shows) and pack
 * fields back.
 * It only moves bits and does not judge whether a day exists, because archives
 * in the wild hold months 0 and 13 and a listing shows what is stored.
 * Conversion to and from the local clock is platform/file_info.h.
 */
#pragma once

#include <cstdint>

namespace ostrana {

struct DosDateTime {
  unsigned year = 1980;  // 1980..2107
  unsigned month = 1;    // stored 0..15
  unsigned day = 1;      // stored 0..31
  unsigned hour = 0;     // stored 0..31
  unsigned minute = 0;   // stored 0..63
  unsigned second = 0;   // even, stored 0..62
};

/// Splits the two DOS words into their fields.
DosDateTime unpack_dos_date_time(uint16_t dos_date, uint16_t dos_time);

/// Packs the fields; the year is clamped to 1980..2107, every field is masked
/// to its width and odd seconds round down.
void pack_dos_date_time(const DosDateTime& t, uint16_t* dos_date_ret, uint16_t* dos_time_ret);

/// The engine's 32-bit DOS date-time: date in the high 16 bits, time in the low.
inline uint32_t dos_date_time_word(uint16_t dos_date, uint16_t dos_time) {
  return static_cast<uint32_t>(dos_date) << 16 | dos_time;
}

}  // namespace ostrana
