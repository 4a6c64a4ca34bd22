/* engine/unzip/pattern_match.h - which archive items a list of patterns selects.
 *
 * The unzip side chooses items by the patterns of lpszFilespec (counting
 * matches, walking matches, extracting).  Patterns and names are compared in
 * upper case with "\" as the folder separator; a "/" in either is read as "\".
 *
 * Pattern list: the text is upper-cased and cut at blanks; a double quote
 * toggles a quoted section in which blanks do not cut, and the quotes are
 * removed.
 *
 * A pattern selects an item by its form:
 *   - no "\": a folder entry only for "*.*"; a file by its base name, and
 *     without recursion only when it lies in no folder;
 *   - "FOLDER\FILE": items whose name begins with FOLDER\ (without recursion
 *     directly in it) whose base name matches FILE; the folder entry FOLDER\
 *     itself, and with recursion folder entries below it when FILE is "*.*";
 *   - "FOLDER\": the folder entry itself (with recursion those below it too)
 *     and the files directly in it (with recursion: anywhere below it).
 *
 * Wildcards: "*" and "*.*" match any name.  Otherwise name and pattern are
 * split at their last dot and the two parts compared separately: a pattern
 * part beginning with "*" matches anything; otherwise characters are compared
 * up to the pattern's first "*", which ends the comparison successfully
 * (characters after it are not looked at); "?" matches any one character (a
 * whole UTF-8 sequence); without a "*" both parts must end together.  An empty
 * pattern or name never matches.
 */
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostrana {

struct FilespecPatterns {
  std::vector<std::string> patterns;  ///< upper case, "\" separators, quotes removed
  bool quotes_balanced = true;        ///< false when a double quote was left open
};

/// Cuts @p filespec into patterns (nullptr or blanks only: no patterns).
FilespecPatterns parse_pattern_list(const char* filespec);

/// An item's name prepared for matching.
struct MatchName {
  std::string full;  ///< the stored name, upper case, "/" turned into "\"
  std::string base;  ///< the part after the last "\" ("" for a folder entry)
  bool folder() const { return base.empty(); }
};

MatchName match_name_of(std::string_view stored_name);

/// The wildcard rule on one name (no folders) and one pattern.
bool wildcard_matches(std::string_view name, std::string_view pattern);

/// True when @p pattern (as parse_pattern_list makes them) selects @p item.
bool pattern_selects(std::string_view pattern, const MatchName& item, bool recurse);

/// True when any pattern of @p list selects @p item.
bool any_pattern_selects(const FilespecPatterns& list, const MatchName& item, bool recurse);

/// True when @p filespec names exactly one item: not empty and none of the
/// characters * ? : < > | and no control character.
bool names_single_item(const char* filespec);

}  // namespace ostrana
