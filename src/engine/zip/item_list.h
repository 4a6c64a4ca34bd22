/* zip/item_list.h - item lists, stored names and the pattern rules of the zip side.
 *
 * Text-only building blocks of the item selection, none of which touches the
 * file system:
 *   - splitting an item list (blanks separate, double quotes group, items cut at
 *     4,095 bytes, quotes removed);
 *   - the stored-name form of a path or pattern ("/" separators, no drive, UNC
 *     or leading "/", no "." or ".." components, optionally without folders and
 *     upper-cased);
 *   - the wildcard rule and "match one pattern" used for include/exclude lists
 *     and for delete items (case ignored; "*" ends the compared part);
 *   - the include/exclude pattern list;
 *   - the store-suffix test and the date limit.
 *
 * Paths in items use the native separator "/"; a backslash in an item is a
 * character of a Linux file name and is kept.  Stored names always use "/":
 * a backslash there becomes "/" (archive readers take it as a separator).
 * Texts are UTF-8; case folding is ASCII only (common/ascii_case.h) and
 * multi-byte sequences compare byte for byte.
 *
 * Functions that build strings may throw std::bad_alloc; the selection entry
 * points catch it and report "Out of memory".
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrana {

/// Longest item (or pattern) taken from a list, in bytes; longer ones are cut.
constexpr size_t kItemMaxBytes = 4095;

/// Splits @p list into items: blanks separate items outside double quotes; a
/// double quote toggles inside/outside.  Each item is cut to kItemMaxBytes
/// bytes (never inside a UTF-8 sequence), then loses every double quote; items
/// left empty are dropped.  Items come back in list order.
std::vector<std::string> split_item_list(std::string_view list);

/// How paths become stored names (the options of a run).
struct StoredNameRules {
  bool no_directory_names = false;  ///< keep only the part after the last "/"
  bool dosify = false;              ///< upper-case the name
};

/// The stored-name form of @p path: "\\" becomes "/"; a UNC prefix
/// ("//server/share") or else a drive prefix ("X:") is removed; empty, "." and
/// ".." components are dropped (".." removes the component before it), so the
/// name has no leading "/" and never climbs out of the archive; a trailing "/"
/// (a folder) is kept; then @p rules apply.  An empty result means "no name".
std::string stored_name_form(std::string_view path, const StoredNameRules& rules);

/// The wildcard rule for one part (base or extension) of a pattern: a pattern
/// beginning with "*" matches everything; an empty pattern matches only an empty
/// string and a non-empty one never matches an empty string; otherwise the
/// pattern is cut at its first "*" and the string at the same position, and the
/// two heads must have the same length and agree byte by byte, "?" matching any
/// byte, ASCII letters compared without regard to case.
bool wildcard_match(std::string_view pattern, std::string_view text);

/// Match one pattern against a stored name.  Both are split at their last dot
/// (a name without a dot has an empty extension; a pattern without a dot has
/// the extension "*" when it ends with "*", else an empty one) and base and
/// extension must both pass wildcard_match.  With @p whole_path clear, a name
/// containing "/" is compared by its last component unless the pattern contains
/// "/" too; with @p whole_path set, pattern and name must both contain "/" or
/// both not, and the whole name is compared.
bool match_one_pattern(std::string_view pattern, std::string_view name, bool whole_path);

/// The include/exclude list of a run.
class PatternList {
 public:
  struct Pattern {
    std::string text;  ///< in stored-name form
    bool exclude;      ///< kind "x"; otherwise "i"
  };

  /// Builds the list from @p include_list and @p exclude_list (each null when
  /// its flag is off), split like an item list and converted to the stored-name
  /// form by @p rules; patterns that come out empty are dropped.  Include
  /// patterns come first.  @p whole_path is `lZipSubOptions2` bit 0.
  /// @return 0, or OZ_OUT_OF_MEMORY (detail "was creating pattern list").
  int build(const char* include_list, const char* exclude_list, const StoredNameRules& rules, bool whole_path);

  /// The pattern list test: with no patterns every name is taken; otherwise a
  /// name starts as taken exactly when there are no include patterns, a matching
  /// exclude pattern refuses it at once and a matching include pattern takes it.
  bool accepts(std::string_view name) const;

  bool empty() const { return m_patterns.empty(); }
  size_t include_count() const { return m_include_count; }
  bool whole_path() const { return m_whole_path; }
  const std::vector<Pattern>& patterns() const { return m_patterns; }

 private:
  std::vector<Pattern> m_patterns;
  size_t m_include_count = 0;
  bool m_whole_path = false;
};

/// Detail text of an out-of-memory failure while building the pattern list.
inline constexpr const char* kPatternListDetail = "was creating pattern list";

// ---- store suffixes --------------------------------------------------------

/// The suffixes stored without compression unless the caller gives its own.
inline constexpr const char* kDefaultStoreSuffixes = ".Z:.zip:.zoo:.arc:.lzh:.arj";

/// The run's suffix list: @p suffixes when @p flag is set and it is not null,
/// else the default.
std::string_view store_suffix_list(bool flag, const char* suffixes);

/// True when the extension of @p path's last component (from its last dot, dot
/// included) equals, without regard to case, one element of @p suffix_list
/// (elements separated by ":" or ";").  A name without a dot never matches.
bool is_stored_suffix(std::string_view path, std::string_view suffix_list);

// ---- date limit ------------------------------------------------------------

/// Detail text of a bad `lpszDate`.
inline constexpr const char* kInvalidDateDetail = "invalid date";

/// Parses `lpszDate`: exactly six digits MMDDYY, month 1..12, day 1..31, year
/// below 80 meaning 20yy and otherwise 19yy (so never before 1980).  The limit
/// is that day at 00:00:00 as a DOS date-time.
/// @return 0 with *@p limit_ret set, or OZ_BAD_PARAMETERS (detail kInvalidDateDetail).
int parse_date_limit(const char* text, uint32_t* limit_ret);

}  // namespace ostrana
