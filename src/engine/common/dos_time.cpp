/* engine/common/dos_time.cpp - the fields of a DOS date and time. */
#include "engine/common/dos_time.h"

namespace ostrana {

DosDateTime unpack_dos_date_time(uint16_t dos_date, uint16_t dos_time) {
  DosDateTime t;
  t.year = 1980u + (dos_date >> 9);
  t.month = (dos_date >> 5) & 0x0Fu;
  t.day = dos_date & 0x1Fu;
  t.hour = dos_time >> 11;
  t.minute = (dos_time >> 5) & 0x3Fu;
  t.second = (dos_time & 0x1Fu) * 2u;
  return t;
}

void pack_dos_date_time(const DosDateTime& t, uint16_t* dos_date_ret, uint16_t* dos_time_ret) {
  unsigned year = t.year < 1980 ? 1980 : t.year > 2107 ? 2107 : t.year;
  *dos_date_ret = static_cast<uint16_t>((year - 1980) << 9 | (t.month & 0x0Fu) << 5 | (t.day & 0x1Fu));
  *dos_time_ret = static_cast<uint16_t>((t.hour & 0x1Fu) << 11 | (t.minute & 0x3Fu) << 5 | ((t.second / 2) & 0x1Fu));
}

}  // namespace ostrana
