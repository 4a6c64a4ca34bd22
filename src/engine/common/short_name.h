/* engine/common/short_name.h - the 8.3 name test and the 8.3 form of a name.
 *
 * Both sides of the engine can restrict themselves to DOS-style names: the zip
 * side skips or shortens files whose names are long, the unzip side passes over
 * long names or reports them in their short form.  A name is split into
 * components at "/", "\\" and ":"; a component is short when it has no blank
 * and no double quote, at most 8 bytes before its first dot and at most 3 after
 * it.  Lengths are in bytes, so a character of several bytes counts with all of
 * them (the double-byte rule of the DOS code pages carried over to UTF-8).
 *
 * The short form drops blanks and double quotes, keeps each component's first
 * dot and drops the later ones, keeps at most 8 bytes before the dot and 3 after
 * it (a character whose bytes do not all fit is dropped whole), and keeps the
 * separators.  No numeric tail is added, so two long names may share a form.
 */
#pragma once

#include <string>
#include <string_view>

namespace ostrana {

/// True when any component of @p name is not an 8.3 name.
bool is_long_name(std::string_view name);

/// The 8.3 form of @p name (a short name comes back unchanged).
std::string short_name_form(std::string_view name);

}  // namespace ostrana
