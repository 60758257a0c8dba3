#!/usr/bin/env bash
# Times d88extract on the benchmark images and prints the figures.
#
#   bench/run.sh [BUILD_DIR]             native build (default: build)
#   D88_TOOL=build-win/tool/d88extract.exe D88_TOOL_RUNNER=wine bench/run.sh
#
# full:  a full two-disk image (2 x 160 tracks x 5 x 1024 bytes), 118 files;
#        compared with cp copying the same bytes (image in, files out).
# worst: 118 files of 255 sectors, each sector at the end of a 65,535-record
#        walk (about 2 billion record headers read in all).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tool=${D88_TOOL:-$build/d88extract}
[ -f "$tool" ] || { echo "no $tool: build first" >&2; exit 1; }
tool=$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")
runner=${D88_TOOL_RUNNER:-}
runs=${RUNS:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_bench_images" "$work/full.d88" "$work/worst.d88"

now() { date +%s%N; }
# best_of CMD...: the fastest of $runs runs in milliseconds, in a fresh
# output folder each time.
best_of() {
  local best=
  for _ in $(seq "$runs"); do
    rm -rf "$work/out" && mkdir "$work/out"
    local start end
    start=$(now)
    (cd "$work/out" && "$@" >/dev/null 2>&1) || [ -n "${ALLOW_FAIL:-}" ] || exit 1
    end=$(now)
    local ms=$(((end - start) / 1000000))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

# shellcheck disable=SC2086
start_ms=$(ALLOW_FAIL=1 best_of $runner "$tool")
# shellcheck disable=SC2086
full_ms=$(best_of $runner "$tool" ../full.d88)
out_bytes=$(cat "$work"/out/* | wc -c)
out_files=$(ls "$work/out" | wc -l)
in_bytes=$(stat -c %s "$work/full.d88")
head -c "$out_bytes" /dev/zero > "$work/outbytes"
copy_ms=$(best_of sh -c "cp ../full.d88 in.copy && cp ../outbytes out.copy")
echo "full image: ${in_bytes} bytes in, ${out_bytes} bytes out in ${out_files} files"
echo "  d88extract  ${full_ms} ms (best of $runs; starting it alone: ${start_ms} ms)"
echo "  cp          ${copy_ms} ms (best of $runs, same bytes)"
awk -v a="$full_ms" -v b="$copy_ms" 'BEGIN { if (b < 1) b = 1; printf "  ratio       %.2f\n", a / b }'

runs=1
worst_ms=$(best_of $runner "$tool" ../worst.d88)
echo "worst case: $(stat -c %s "$work/worst.d88") bytes in, $(cat "$work"/out/* | wc -c) bytes out"
echo "  d88extract  ${worst_ms} ms"
