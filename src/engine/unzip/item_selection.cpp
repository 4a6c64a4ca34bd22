/* engine/unzip/item_selection.cpp - which items of an archive an unzip command selects. */
#include "engine/unzip/item_selection.h"

#include "engine/common/dos_time.h"
#include "engine/common/short_name.h"
#include "engine/unzip/item_info.h"
#include "ostrana_info.h"
#include "platform/file_stamp.h"
#include "platform/local_time.h"

namespace ostrana {
namespace {

bool dos_fields_valid(uint16_t dos_date, uint16_t dos_time) {
  DosDateTime t = unpack_dos_date_time(dos_date, dos_time);
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour <= 23 && t.minute <= 59 &&
         t.second <= 59;
}

// The file's modification time as a local DOS date-time word.
bool file_dos_time(const std::string& path, bool* exists_ret, uint32_t* dos_ret) {
  platform::FileStamp stamp;
  *exists_ret = platform::file_stamp(path, &stamp) == 0;
  if (!*exists_ret) return true;
  std::tm local;
  int64_t seconds = stamp.mtime_ns / 1000000000;
  if (stamp.mtime_ns < 0 && stamp.mtime_ns % 1000000000 != 0) --seconds;
  if (!platform::local_time_from_unix(seconds, &local)) return false;
  DosDateTime t;  // before the DOS epoch: its first moment
  if (local.tm_year + 1900 >= 1980) {
    t.year = static_cast<unsigned>(local.tm_year + 1900);
    t.month = static_cast<unsigned>(local.tm_mon + 1);
    t.day = static_cast<unsigned>(local.tm_mday);
    t.hour = static_cast<unsigned>(local.tm_hour);
    t.minute = static_cast<unsigned>(local.tm_min);
    t.second = static_cast<unsigned>(local.tm_sec);
  }
  uint16_t d, tm;
  pack_dos_date_time(t, &d, &tm);
  *dos_ret = dos_date_time_word(d, tm);
  return true;
}

}  // namespace

bool freshen_update_eligible(const DirectoryEntry& entry, const SelectionRules& rules) {
  if (!rules.freshen && !rules.update) return true;
  std::string name = rules.short_names ? reported_name(entry, true) : std::string(entry.name);
  for (char& c : name)
    if (c == '\\') c = '/';
  if (rules.no_directory_names) {
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
  }
  size_t lead = name.find_first_not_of('/');
  name.erase(0, lead == std::string::npos ? name.size() : lead);
  bool exists = false;
  uint32_t file_time = 0;
  if (!file_dos_time(rules.destination + name, &exists, &file_time)) return false;
  if (!exists) return rules.update;
  if (!dos_fields_valid(entry.header.mod_date, entry.header.mod_time)) return false;
  return file_time < dos_date_time_word(entry.header.mod_date, entry.header.mod_time);
}

bool item_selected(const DirectoryEntry& entry, const SelectionRules& rules) {
  if (rules.skip_long_names && is_long_name(entry.name)) return false;
  MatchName name = match_name_of(rules.short_names ? reported_name(entry, true) : std::string(entry.name));
  if (rules.no_directory_items && name.folder()) return false;
  if (entry.header.external_attributes & OSTRANA_ATTR_VOLUME) return false;
  if (!any_pattern_selects(rules.patterns, name, rules.recurse)) return false;
  return freshen_update_eligible(entry, rules);
}

}  // namespace ostrana
