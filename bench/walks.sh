#!/usr/bin/env bash
# SPDX-License-Identifier: MIT

# Times d88extract and d88info on images whose track walks are long, with
# their peak memory, and prints the figures.
#
#   bench/walks.sh [BUILD_DIR] [IMAGE...]   native build (default: build)
#   D88_TOOL_DIR=build-win D88_TOOL_SUFFIX=.exe D88_TOOL_RUNNER=wine bench/walks.sh build
#
# dense:     118 files of 255 sectors, each sector the last record of a
#            65,535-record walk (walks of about 1 MiB of headers each).
# sparse-N:  every file track starts at a chain of N records of 65,535 data
#            bytes each, so every header lies in a 64 KiB block of its own;
#            N = 1,000 (66 MB) and N = 16,000 (about 1 GiB, a sparse file).
# -staggered: the same, with track t starting at record t of the chain.
# IMAGE names a subset, e.g. "dense sparse-1000".
set -euo pipefail
source "$(dirname "$0")/common.sh"
shift || true
images=("$@")
[ ${#images[@]} -gt 0 ] || images=(dense sparse-1000 sparse-1000-staggered
  sparse-16000 sparse-16000-staggered)

runs=${RUNS:-3}
printf '%-24s %10s %12s %10s %12s\n' image d88extract "(peak KiB)" d88info "(peak KiB)"
for image in "${images[@]}"; do
  size=$(stat -c %s "$work/$image.d88")
  # shellcheck disable=SC2086
  extract_ms=$(best_of $runner "$extract" "../$image.d88")
  extract_kib=$(peak_kib $runner "$extract" "../$image.d88")
  # shellcheck disable=SC2086
  info_ms=$(best_of $runner "$info" "../$image.d88")
  info_kib=$(peak_kib $runner "$info" "../$image.d88")
  printf '%-24s %7s ms %12s %7s ms %12s   (%s bytes, best of %s)\n' "$image" \
    "$extract_ms" "$extract_kib" "$info_ms" "$info_kib" "$size" "$runs"
done
