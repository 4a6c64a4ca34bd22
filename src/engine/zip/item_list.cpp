/* zip/item_list.cpp - item lists, stored names and the pattern rules of the zip side. */
#include "engine/zip/item_list.h"

#include <new>

#include "engine/common/ascii_case.h"
#include "engine/common/utf8.h"
#include "ostrana_results.h"

namespace ostrana {

namespace {

/// Splits a name at its last dot; a name without a dot has an empty extension.
void split_at_last_dot(std::string_view s, std::string_view* base, std::string_view* ext) {
  size_t dot = s.rfind('.');
  if (dot == std::string_view::npos) {
    *base = s;
    *ext = {};
  } else {
    *base = s.substr(0, dot);
    *ext = s.substr(dot + 1);
  }
}

std::string_view last_component(std::string_view s) {
  size_t slash = s.rfind('/');
  return slash == std::string_view::npos ? s : s.substr(slash + 1);
}

}  // namespace

std::vector<std::string> split_item_list(std::string_view list) {
  std::vector<std::string> items;
  bool quoted = false;
  size_t start = 0;
  auto finish = [&](size_t end) {
    std::string_view raw = list.substr(start, end - start);
    raw = raw.substr(0, utf8_cut(raw, kItemMaxBytes));
    std::string item;
    item.reserve(raw.size());
    for (char c : raw) {
      if (c != '"') item += c;
    }
    if (!item.empty()) items.push_back(std::move(item));
  };
  for (size_t i = 0; i < list.size(); ++i) {
    char c = list[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      finish(i);
      start = i + 1;
    }
  }
  finish(list.size());
  return items;
}

std::string stored_name_form(std::string_view path, const StoredNameRules& rules) {
  std::string slashed(path);
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  std::string_view rest = slashed;
  if (rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') {
    // UNC prefix: "//server/share" goes, the path inside the share stays.
    size_t server_end = rest.find('/', 2);
    size_t share_end = server_end == std::string_view::npos ? server_end : rest.find('/', server_end + 1);
    rest = share_end == std::string_view::npos ? std::string_view() : rest.substr(share_end);
  } else if (rest.size() >= 2 && rest[1] == ':' &&
             ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
    rest.remove_prefix(2);
  }
  bool folder = !rest.empty() && rest.back() == '/';

  // Components: empty and "." vanish, ".." takes back the component before it
  // (or nothing), so no stored name starts with "/" or climbs out with "..".
  std::string name;
  name.reserve(rest.size());
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = rest.find('/', pos);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view part = rest.substr(pos, end - pos);
    if (part == "..") {
      size_t cut = name.rfind('/');
      name.erase(cut == std::string::npos ? 0 : cut);
    } else if (!part.empty() && part != ".") {
      if (!name.empty()) name += '/';
      name.append(part);
    }
    pos = end + 1;
  }
  if (folder && !name.empty()) name += '/';

  if (rules.no_directory_names) {
    size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
  }
  if (rules.dosify) {
    for (char& c : name) c = ascii_upper(c);
  }
  return name;
}

bool wildcard_match(std::string_view pattern, std::string_view text) {
  if (!pattern.empty() && pattern[0] == '*') return true;
  if (pattern.empty()) return text.empty();
  if (text.empty()) return false;
  size_t star = pattern.find('*');
  if (star == std::string_view::npos) {
    if (text.size() != pattern.size()) return false;
  } else {
    // Whatever follows the first star is not compared: "ab*cd" is "ab*".
    if (text.size() < star) return false;
    pattern = pattern.substr(0, star);
    text = text.substr(0, star);
  }
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '?' && ascii_upper(pattern[i]) != ascii_upper(text[i])) return false;
  }
  return true;
}

bool match_one_pattern(std::string_view pattern, std::string_view name, bool whole_path) {
  bool pattern_has_slash = pattern.find('/') != std::string_view::npos;
  bool name_has_slash = name.find('/') != std::string_view::npos;
  if (whole_path) {
    if (pattern_has_slash != name_has_slash) return false;
  } else if (name_has_slash && !pattern_has_slash) {
    name = last_component(name);
  }
  std::string_view name_base, name_ext, pattern_base, pattern_ext;
  split_at_last_dot(name, &name_base, &name_ext);
  if (pattern.find('.') == std::string_view::npos) {
    pattern_base = pattern;
    pattern_ext = !pattern.empty() && pattern.back() == '*' ? std::string_view("*") : std::string_view();
  } else {
    split_at_last_dot(pattern, &pattern_base, &pattern_ext);
  }
  return wildcard_match(pattern_base, name_base) && wildcard_match(pattern_ext, name_ext);
}

int PatternList::build(const char* include_list, const char* exclude_list, const StoredNameRules& rules,
                       bool whole_path) {
  m_patterns.clear();
  m_include_count = 0;
  m_whole_path = whole_path;
  try {
    for (int kind = 0; kind < 2; ++kind) {
      const char* list = kind == 0 ? include_list : exclude_list;
      if (list == nullptr) continue;
      for (const std::string& item : split_item_list(list)) {
        std::string text = stored_name_form(item, rules);
        if (text.empty()) continue;  // would match nothing but an empty name
        m_patterns.push_back(Pattern{std::move(text), kind == 1});
        if (kind == 0) ++m_include_count;
      }
    }
  } catch (const std::bad_alloc&) {
    m_patterns.clear();
    m_include_count = 0;
    return OZ_OUT_OF_MEMORY;
  }
  return 0;
}

bool PatternList::accepts(std::string_view name) const {
  if (m_patterns.empty()) return true;
  bool taken = m_include_count == 0;
  for (const Pattern& p : m_patterns) {
    if (!match_one_pattern(p.text, name, m_whole_path)) continue;
    if (p.exclude) return false;  // an exclude wins over any include
    taken = true;
  }
  return taken;
}

std::string_view store_suffix_list(bool flag, const char* suffixes) {
  return flag && suffixes != nullptr ? std::string_view(suffixes) : std::string_view(kDefaultStoreSuffixes);
}

bool is_stored_suffix(std::string_view path, std::string_view suffix_list) {
  std::string_view name = last_component(path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view ext = name.substr(dot);
  size_t pos = 0;
  while (pos <= suffix_list.size()) {
    size_t end = suffix_list.find_first_of(":;", pos);
    if (end == std::string_view::npos) end = suffix_list.size();
    std::string_view suffix = suffix_list.substr(pos, end - pos);
    if (!suffix.empty() && ascii_iequal(suffix, ext)) return true;
    pos = end + 1;
  }
  return false;
}

int parse_date_limit(const char* text, uint32_t* limit_ret) {
  if (text == nullptr) return OZ_BAD_PARAMETERS;
  std::string_view s(text);
  if (s.size() != 6) return OZ_BAD_PARAMETERS;
  for (char c : s) {
    if (c < '0' || c > '9') return OZ_BAD_PARAMETERS;
  }
  auto two = [&](size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); };
  int month = two(0), day = two(2), yy = two(4);
  if (month < 1 || month > 12 || day < 1 || day > 31) return OZ_BAD_PARAMETERS;
  // Two-digit years 80..99 are 1980..1999 and 00..79 are 2000..2079, so the
  // limit never falls before the first DOS date.
  int year = yy < 80 ? 2000 + yy : 1900 + yy;
  *limit_ret = (static_cast<uint32_t>(year - 1980) << 9 | static_cast<uint32_t>(month) << 5 |
                static_cast<uint32_t>(day)) << 16;
  return 0;
}

}  // namespace ostrana
