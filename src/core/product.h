/* core/product.h - the product's names, as the wizard and its files show them. */
#pragma once

namespace core {

/// The product name used in the sheet title and wherever the product is named.
inline constexpr const char kProductName[] = "Parvell Ravarave v2.1";

/// The product's version alone, as packages and `--version` give it (CMake's project version).
inline constexpr const char kProductVersion[] = "2.1";

/// The name string the interactive sheet carries.
inline constexpr const char kProductWord[] = "PARVELL";

/// The archive engine's name (its version comes from the engine itself).
inline constexpr const char kEngineName[] = "Ostrana Secure Zip/UnZip";

}  // namespace core
