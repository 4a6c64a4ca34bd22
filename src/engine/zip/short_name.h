/* zip/short_name.h - the 8.3 test and the 8.3 form of a stored name (zip side).
 *
 * Some callers want archives that old MS-DOS tools can extract: with one option
 * a file whose stored name is not an 8.3 name is left out, with another its name
 * is shortened to 8.3 form.  Both work per component; components are separated
 * by "/", "\\" and ":" and the separators are kept.
 *
 * A name is an 8.3 name when no component contains a blank or a double quote,
 * has more than 8 bytes before its first dot, or more than 3 bytes after it
 * (later dots count as bytes after the first).  The 8.3 form drops blanks and
 * double quotes, keeps only the first dot of each component, and keeps at most
 * 8 bytes before it and 3 after it.  Lengths are in bytes (a multi-byte
 * character counts as its length in bytes, as a double-byte character counted
 * 2), and a character is kept only when all its bytes fit, so the short form is
 * still valid UTF-8.  No numeric tail is added: two long names may shorten to the
 * same short one, and the found list's duplicate rule then keeps one of them.
 */
#pragma once

#include <string>
#include <string_view>

namespace ostrana {

/// True when every component of @p name fits 8.3 (see above).
bool is_short_name(std::string_view name);

/// The 8.3 form of @p name (see above).
std::string short_name_form(std::string_view name);

}  // namespace ostrana
