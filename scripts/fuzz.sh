#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs
# each for SECONDS (default 60) on a copy of its seed corpus. Fails when a
# target finds a crash or a sanitizer report; the input that did it is left
# in build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/setup.sh

dir=build-fuzz
targets=(snapshot_fuzz settings_fuzz link_reply_fuzz management_fuzz)
# Room for a snapshot record of the largest size the buffer allows; for the
# link, a reply longer than the longest frame (81 bytes) and three management
# chunks of up to 255 bytes.
declare -A max_len=([snapshot_fuzz]=51200 [settings_fuzz]=4096 [link_reply_fuzz]=128
  [management_fuzz]=800)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DZRA_FUZZ=ON -DZRA_BUILD_TESTS=OFF -DZRA_SANITIZE=OFF >/dev/null
cmake --build "$dir" -j2 --target "${targets[@]}"

# These settings belong to the fuzz run, whatever the caller exported.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The settings target writes and syncs files on every input: on a RAM disk
# when there is one, else inside the build folder.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR="$(mktemp -d /dev/shm/zra-fuzz.XXXXXX)"
  trap 'rm -rf "$TMPDIR"' EXIT
else
  TMPDIR="$PWD/$dir/tmp"
  mkdir -p "$TMPDIR"
fi
export TMPDIR

status=0
for t in "${targets[@]}"; do
  corpus="$dir/corpus/$t"
  findings="$dir/findings/$t"
  rm -rf "$corpus" "$findings"
  mkdir -p "$corpus" "$findings"
  cp fuzz/corpus/"$t"/* "$corpus"/
  log="$dir/$t.log"
  echo "== $t: ${seconds} s"
  if "$dir/fuzz/$t" -max_total_time="$seconds" -max_len="${max_len[$t]}" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$log" || true
  else
    status=1
    echo "$t found a problem; input in $findings/, log in $log:" >&2
    tail -n 60 "$log" >&2
    for f in "$findings"/*; do
      [ -f "$f" ] && { echo "-- $f:" >&2; od -An -tx1 -v "$f" | head -n 40 >&2; }
    done
  fi
done
exit "$status"
