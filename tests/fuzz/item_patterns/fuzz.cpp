/* tests/fuzz/item_patterns/fuzz.cpp - item lists, stored names and patterns on arbitrary text.
 *
 * Item lists and patterns come from task info files and command lines, so they
 * are untrusted text.  The first input byte picks the rules (bit 0 no folder
 * names, bit 1 dosify, bit 2 whole-path patterns); the rest is an item list.
 * Every item must be non-empty, at most 4,095 bytes and free of quotes; its
 * stored-name form must never start with "/", hold a backslash or an empty, "."
 * or ".." component; a name without wildcards must match itself; the 8.3 form
 * must pass the 8.3 test and stay put when shortened again.  abort() otherwise.
 */
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/zip/item_list.h"
#include "engine/zip/short_name.h"
#include "platform/folder_search.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void check_stored_name(std::string_view name) {
  if (name.empty()) return;
  check(name.front() != '/');
  check(name.find('\\') == std::string_view::npos);
  std::string_view body = name.back() == '/' ? name.substr(0, name.size() - 1) : name;
  size_t pos = 0;
  while (pos <= body.size()) {
    size_t end = body.find('/', pos);
    if (end == std::string_view::npos) end = body.size();
    std::string_view part = body.substr(pos, end - pos);
    check(!part.empty() && part != "." && part != "..");
    pos = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ostrana::StoredNameRules rules{(data[0] & 1) != 0, (data[0] & 2) != 0};
  bool whole_path = (data[0] & 4) != 0;
  std::string_view list(reinterpret_cast<const char*>(data + 1), size - 1);

  for (const std::string& item : ostrana::split_item_list(list)) {
    check(!item.empty() && item.size() <= ostrana::kItemMaxBytes);
    check(item.find('"') == std::string::npos);
    std::string name = ostrana::stored_name_form(item, rules);
    check_stored_name(name);
    if (name.find_first_of("*?") == std::string::npos) {
      check(ostrana::match_one_pattern(name, name, whole_path));
    }
    std::string short_form = ostrana::short_name_form(name);
    check(ostrana::is_short_name(short_form));
    check(ostrana::short_name_form(short_form) == short_form);
    (void)ostrana::is_stored_suffix(item, list);
    (void)platform::name_matches(item, name);
    uint32_t limit = 0;
    (void)ostrana::parse_date_limit(item.c_str(), &limit);
  }

  ostrana::PatternList patterns;
  if (patterns.build(std::string(list).c_str(), nullptr, rules, whole_path) == 0) {
    (void)patterns.accepts("DIR/README.TXT");
  }
  return 0;
}
