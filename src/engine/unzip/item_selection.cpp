/* engine/unzip/item_selection.cpp - which items of an archive an unzip command selects. */
#include "engine/unzip/item_selection.h"

#include "engine/common/dos_time.h"
#include "engine/common/short_name.h"
#include "engine/unzip/item_info.h"
#include "ostrana_info.h"
#include "platform/file_info.h"

namespace ostrana {
namespace {

bool dos_fields_valid(uint16_t dos_date, uint16_t dos_time) {
  DosDateTime t = unpack_dos_date_time(dos_date, dos_time);
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour <= 23 && t.minute <= 59 &&
         t.second <= 59;
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
  const uint32_t file_time = platform::file_dos_datetime(rules.destination + name, nullptr, nullptr);
  if (file_time == 0) return rules.update;  // no such file
  if (!dos_fields_valid(entry.shown_date, entry.shown_time)) return false;
  return file_time < dos_date_time_word(entry.shown_date, entry.shown_time);
}

bool item_selected(const DirectoryEntry& entry, const SelectionRules& rules) {
  if (rules.skip_long_names && !is_short_name(entry.name)) return false;
  MatchName name = match_name_of(rules.short_names ? reported_name(entry, true) : std::string(entry.name));
  if (rules.no_directory_items && name.folder()) return false;
  if (entry.header.external_attributes & OSTRANA_ATTR_VOLUME) return false;
  if (!any_pattern_selects(rules.patterns, name, rules.recurse)) return false;
  return freshen_update_eligible(entry, rules);
}

}  // namespace ostrana
