# SPDX-License-Identifier: MIT

# Shared by the benchmark scripts: finds the programs, makes the images in a
# scratch folder and times commands. Sourced, with the build folder as $1.
build=$(cd "${1:-build}" && pwd)
tool_dir=$(cd "${D88_TOOL_DIR:-$build}" && pwd)
suffix=${D88_TOOL_SUFFIX:-}
extract=$tool_dir/d88extract$suffix
info=$tool_dir/d88info$suffix
for program in "$extract" "$info"; do
  [ -f "$program" ] || { echo "no $program: build first" >&2; exit 1; }
done
runner=${D88_TOOL_RUNNER:-}
runs=${RUNS:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_bench_images" "$work"

now() { date +%s%N; }
# best_of CMD...: the fastest of $runs runs in milliseconds, to a tenth, in
# a fresh output folder each time.
best_of() {
  local best=
  for _ in $(seq "$runs"); do
    rm -rf "$work/out" && mkdir "$work/out"
    local start end
    start=$(now)
    (cd "$work/out" && "$@" >/dev/null 2>&1) || [ -n "${ALLOW_FAIL:-}" ] || exit 1
    end=$(now)
    local us=$(((end - start) / 1000))
    if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best=$us; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.1f", us / 1000 }'
}

# peak_kib CMD...: the peak resident memory of one run, in KiB.
peak_kib() {
  rm -rf "$work/out" && mkdir "$work/out"
  (cd "$work/out" && /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1) || true
  cat "$work/peak"
}
