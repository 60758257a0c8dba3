#!/usr/bin/env bash
# SPDX-License-Identifier: MIT

# Times d88extract on a full two-disk image against cp of the same bytes,
# and prints the figures.
#
#   bench/run.sh [BUILD_DIR]             native build (default: build)
#   D88_TOOL_DIR=build-win D88_TOOL_SUFFIX=.exe D88_TOOL_RUNNER=wine bench/run.sh
#
# full: both disks with 160 tracks of five 1024-byte sectors, 118 files;
#       compared with cp copying the same bytes (image in, files out).
# bench/walks.sh times the crafted images whose track walks are long.
set -euo pipefail
source "$(dirname "$0")/common.sh"

# shellcheck disable=SC2086
start_ms=$(ALLOW_FAIL=1 best_of $runner "$extract")
# shellcheck disable=SC2086
full_ms=$(best_of $runner "$extract" ../full.d88)
out_bytes=$(cat "$work"/out/* | wc -c)
out_files=$(ls "$work/out" | wc -l)
in_bytes=$(stat -c %s "$work/full.d88")
head -c "$out_bytes" /dev/zero > "$work/outbytes"
copy_ms=$(best_of sh -c "cp ../full.d88 in.copy && cp ../outbytes out.copy")
echo "full image: ${in_bytes} bytes in, ${out_bytes} bytes out in ${out_files} files"
echo "  d88extract  ${full_ms} ms (best of $runs; starting it alone: ${start_ms} ms)"
echo "  cp          ${copy_ms} ms (best of $runs, same bytes)"
awk -v a="$full_ms" -v b="$copy_ms" 'BEGIN { if (b < 0.1) b = 0.1; printf "  ratio       %.2f\n", a / b }'
