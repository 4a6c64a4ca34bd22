/* engine/common/cpu_features.h - which instruction set extensions the codecs may use.
 *
 * CRC-32, AES and SHA-1 each have a portable implementation and, on x86-64, a
 * faster one built on carry-less multiplication, the AES instructions or the
 * SHA instructions.  The fast paths are compiled with per-function target
 * attributes (the build sets no global -m flag) and chosen at run time from
 * what the processor reports, so one binary runs everywhere.
 *
 * Tests force the portable paths with cpu_force_portable() to check that both
 * give identical results; the switch is process wide and meant for tests and
 * benchmarks only.
 */
#pragma once

namespace ostrana {

/// Carry-less multiplication (PCLMULQDQ) and SSE4.1: the folding CRC-32.
bool cpu_has_clmul();
/// VPCLMULQDQ and AVX2 besides: the folding CRC-32 on 256-bit registers.
bool cpu_has_wide_clmul();
/// BMI2 (shifts by a register without flags, bit-field extraction): inflate's decoding loop.
bool cpu_has_bmi2();
/// AES-NI and SSE4.1: the AES block cipher and its buffer modes.
bool cpu_has_aes();
/// SHA extensions and SSE4.1: the SHA-1 compression function.
bool cpu_has_sha();

/// When @p on, every query above answers false until called again with false.
void cpu_force_portable(bool on);

}  // namespace ostrana
