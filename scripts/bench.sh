#!/usr/bin/env bash
# Builds the benchmarks optimized (build-release/), runs every one of them and
# prints one table: each figure beside its goal, with the machine it ran on.
# Each benchmark's own report goes to build-release/bench/<name>.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DZRA_BUILD_TESTS=OFF >/dev/null
export QT_QPA_PLATFORM=offscreen

benches=(exchange_bench window_bench snapshot_bench long_log_bench trend_bench soak_bench startup_bench export_bench)
rows="$(mktemp)"
trap 'rm -f "$rows"' EXIT
status=0
for b in "${benches[@]}"; do
  echo "running $b ..." >&2
  if ! ./build-release/bench/"$b" >build-release/bench/"$b".txt 2>&1; then
    echo "$b failed; its report:" >&2
    cat build-release/bench/"$b".txt >&2
    status=1
  fi
  grep '^@row' build-release/bench/"$b".txt | cut -f2- >>"$rows" || true
done

cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
qt="$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo '?')"
echo
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB," \
  "$(uname -sr), Qt $qt, $(date -u +%Y-%m-%d)"
echo
{
  printf 'figure\tmeasured\tgoal\tverdict\n'
  cat "$rows"
} | awk -F'\t' '
  { for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } n = NR }
  END {
    for (r = 1; r <= n; r++) {
      line = "|"
      for (i = 1; i <= 4; i++) line = line sprintf(" %-" w[i] "s |", cell[r, i])
      print line
      if (r == 1) {
        line = "|"
        for (i = 1; i <= 4; i++) { d = ""; for (k = 0; k < w[i] + 2; k++) d = d "-"; line = line d "|" }
        print line
      }
    }
  }'
exit "$status"
