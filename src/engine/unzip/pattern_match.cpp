/* engine/unzip/pattern_match.cpp - which archive items a list of patterns selects. */
#include "engine/unzip/pattern_match.h"

#include <cstring>

#include "engine/common/ascii_case.h"
#include "engine/common/utf8.h"

namespace ostrana {
namespace {

std::string normalized(std::string_view text) {
  std::string out = ascii_upper(text);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

bool part_matches(std::string_view name, std::string_view pattern) {
  if (!pattern.empty() && pattern[0] == '*') return true;
  size_t i = 0;
  for (size_t j = 0; j < pattern.size(); ++j) {
    if (pattern[j] == '*') return true;
    if (i >= name.size()) return false;
    if (pattern[j] == '?') {
      i += utf8_sequence_length(name, i);
      continue;
    }
    if (pattern[j] != name[i]) return false;
    ++i;
  }
  return i == name.size();
}

void split_at_last_dot(std::string_view text, std::string_view* base, std::string_view* ext) {
  size_t dot = text.rfind('.');
  if (dot == std::string_view::npos) {
    *base = text;
    *ext = std::string_view();
  } else {
    *base = text.substr(0, dot);
    *ext = text.substr(dot + 1);
  }
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// True when @p name lies directly in the folder @p folder (which ends in "\").
bool directly_in(std::string_view name, std::string_view folder) {
  std::string_view rest = name.substr(folder.size());
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);  // a folder entry
  return rest.find('\\') == std::string_view::npos;
}

}  // namespace

FilespecPatterns parse_pattern_list(const char* filespec) {
  FilespecPatterns list;
  if (filespec == nullptr) return list;
  std::string current;
  bool quoted = false;
  for (const char* p = filespec; *p != '\0'; ++p) {
    if (*p == '"') {
      quoted = !quoted;
    } else if (*p == ' ' && !quoted) {
      if (!current.empty()) list.patterns.push_back(normalized(current));
      current.clear();
    } else {
      current += *p;
    }
  }
  if (!current.empty()) list.patterns.push_back(normalized(current));
  list.quotes_balanced = !quoted;
  return list;
}

MatchName match_name_of(std::string_view stored_name) {
  MatchName m;
  m.full = normalized(stored_name);
  size_t slash = m.full.rfind('\\');
  m.base = slash == std::string::npos ? m.full : m.full.substr(slash + 1);
  return m;
}

bool wildcard_matches(std::string_view name, std::string_view pattern) {
  if (name.empty() || pattern.empty()) return false;
  if (pattern == "*" || pattern == "*.*") return true;
  std::string_view name_base, name_ext, pattern_base, pattern_ext;
  split_at_last_dot(name, &name_base, &name_ext);
  split_at_last_dot(pattern, &pattern_base, &pattern_ext);
  return part_matches(name_base, pattern_base) && part_matches(name_ext, pattern_ext);
}

bool pattern_selects(std::string_view pattern, const MatchName& item, bool recurse) {
  if (pattern.empty() || item.full.empty()) return false;
  size_t slash = pattern.rfind('\\');
  if (slash == std::string_view::npos) {
    if (item.folder()) return pattern == "*.*";
    if (!recurse && item.full.find('\\') != std::string::npos) return false;
    return wildcard_matches(item.base, pattern);
  }
  std::string_view folder = pattern.substr(0, slash + 1);
  std::string_view file = pattern.substr(slash + 1);
  if (!starts_with(item.full, folder)) return false;
  if (file.empty()) {
    // A folder pattern: the folder, and what lies in it.
    if (item.folder()) return item.full.size() == folder.size() || recurse;
    return recurse || directly_in(item.full, folder);
  }
  if (item.folder()) return item.full.size() == folder.size() || (recurse && file == "*.*");
  if (!recurse && !directly_in(item.full, folder)) return false;
  return wildcard_matches(item.base, file);
}

bool any_pattern_selects(const FilespecPatterns& list, const MatchName& item, bool recurse) {
  for (const std::string& pattern : list.patterns)
    if (pattern_selects(pattern, item, recurse)) return true;
  return false;
}

bool names_single_item(const char* filespec) {
  if (filespec == nullptr || *filespec == '\0') return false;
  for (const char* p = filespec; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || std::strchr("*?:<>|", c) != nullptr) return false;
  }
  return true;
}

}  // namespace ostrana
