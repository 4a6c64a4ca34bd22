#!/usr/bin/env bash
# bench/run_crypto.sh - builds the benchmarks and prints CRC-32 and cipher throughput,
# with zlib, libdeflate (inside crypto_bench) and `openssl speed` as references.
#   bench/run_crypto.sh [kilobytes]
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2} scripts/build bench >/dev/null
build-bench/bin/crypto_bench "${1:-1024}"
if command -v openssl >/dev/null; then
  echo
  echo "openssl speed, 16 KB blocks (reference; GB/s = the 16384-byte column / 10^6)"
  for alg in aes-128-ctr aes-256-ctr aes-128-cbc aes-256-cbc; do
    openssl speed -elapsed -seconds 1 -bytes 16384 -evp "$alg" 2>/dev/null | awk -v a="$alg" \
      'toupper($1) ~ /^AES/ { v=$NF; sub(/k$/, "", v); printf "  %-34s %7.2f GB/s\n", a " encrypt", v / 1e6 }'
  done
  openssl speed -elapsed -seconds 1 -bytes 16384 -decrypt -evp aes-256-cbc 2>/dev/null | awk \
    'toupper($1) ~ /^AES/ { v=$NF; sub(/k$/, "", v); printf "  %-34s %7.2f GB/s\n", "aes-256-cbc decrypt", v / 1e6 }'
  OPENSSL_ia32cap="~0x200000200000000" openssl speed -elapsed -seconds 1 -bytes 16384 -evp aes-256-ctr 2>/dev/null | awk \
    'toupper($1) ~ /^AES/ { v=$NF; sub(/k$/, "", v); printf "  %-34s %7.2f GB/s\n", "aes-256-ctr, no AES instructions", v / 1e6 }'
fi
