/* engine/common/aes_internal.h - the AES-NI code paths behind aes.h and aes_ctr.h.
 *
 * Each function needs cpu_has_aes() and works on whole 16-byte blocks with the
 * key schedules of aes.h (round keys as big-endian words; the decryption
 * schedule already in the equivalent-inverse form that AESDEC expects), so
 * the portable and the accelerated paths share every schedule.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/common/aes.h"

namespace ostrana::detail {

void aesni_encrypt_block(const AesKeySchedule& enc, const uint8_t in[16], uint8_t out[16]);
void aesni_decrypt_block(const AesKeySchedule& dec, const uint8_t in[16], uint8_t out[16]);

/// ECB over @p nblocks blocks; @p in and @p out may be the same buffer.
void aesni_ecb_encrypt(const AesKeySchedule& enc, const uint8_t* in, uint8_t* out, size_t nblocks);
void aesni_ecb_decrypt(const AesKeySchedule& dec, const uint8_t* in, uint8_t* out, size_t nblocks);

/// CBC; @p chain is the running chaining value, updated on return.
void aesni_cbc_encrypt(const AesKeySchedule& enc, uint8_t chain[16], const uint8_t* in, uint8_t* out,
                       size_t nblocks);
void aesni_cbc_decrypt(const AesKeySchedule& dec, uint8_t chain[16], const uint8_t* in, uint8_t* out,
                       size_t nblocks);

/// Counter mode with the ZIP counter block: a 64-bit little-endian counter in
/// bytes 0-7, zeros in bytes 8-15.  Block i uses counter + i; XORs the key
/// stream into @p in to give @p out.  @return the counter after the last block.
uint64_t aesni_ctr_le64(const AesKeySchedule& enc, uint64_t counter, const uint8_t* in, uint8_t* out,
                        size_t nblocks);

}  // namespace ostrana::detail
