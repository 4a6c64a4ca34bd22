/* engine/common/dos_time.h - DOS date and time fields, packed and unpacked.
 *
 * The ZIP format keeps an entry's modification time as two 16-bit DOS words:
 * date = (year - 1980) << 9 | month << 5 | day, time = hour << 11 | minute << 5 |
 * seconds / 2.  The engine's 32-bit form puts the date in the high word and the
 * time in the low word.  These helpers only move bits; they do not judge
 * whether a day exists, because archives in the wild hold months 0 and 13 and
 * the listing shows what is stored.  Conversion to and from the local clock is
 * the platform layer's business.
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

/// Packs the fields; the year is clamped to 1980..2107 and every field is
/// masked to its width (seconds are halved, odd seconds round down).
void pack_dos_date_time(const DosDateTime& t, uint16_t* dos_date_ret, uint16_t* dos_time_ret);

/// The engine's 32-bit DOS date-time: date in the high 16 bits, time in the low.
inline uint32_t dos_date_time_word(uint16_t dos_date, uint16_t dos_time) {
  return static_cast<uint32_t>(dos_date) << 16 | dos_time;
}

}  // namespace ostrana
