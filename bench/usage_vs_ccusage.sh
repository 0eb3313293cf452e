#!/usr/bin/env bash
# Usage scan against ccusage 20.0.24 on synthetic transcripts: per-day totals
# must be equal; wall time and peak RSS are measured in the same run,
# alternating, page cache warm, next to `cat` reading the same files.
#
#   bench/usage_vs_ccusage.sh [build/release] [runs]
#
# Data sets are generated once into bench/data/ (git-ignored, ~2.2 GB) and
# reused while their timestamps stay inside the 7-day window. ccusage is
# installed with npm into ~/.cache/vorla-bench/ccusage (never into the
# repository) and run with --offline and a fake HOME.
set -euo pipefail
build=${1:-build/release}
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
data="$here/data"
vorla=$(cd "$build" && pwd)/src/app/vorla-agents
ccdir=${VORLA_BENCH_CACHE:-$HOME/.cache/vorla-bench}/ccusage
ccusage="$ccdir/node_modules/@ccusage/ccusage-linux-x64/bin/ccusage"
export TZ=UTC

[[ -x "$vorla" ]] || { echo "build $vorla first (cmake --build --preset release)" >&2; exit 1; }
if [[ ! -x "$ccusage" ]]; then
  mkdir -p "$ccdir"
  npm install --prefix "$ccdir" --no-audit --no-fund --silent ccusage@20.0.24 >/dev/null
fi
[[ "$("$ccusage" --version)" == *20.0.24* ]] || { echo "unexpected ccusage version" >&2; exit 1; }

# name, then generator arguments
generate() {
  local name=$1; shift
  local dir="$data/$name" stamp="$data/$name/.generated"
  if [[ -f "$stamp" ]] && (( $(date +%s) - $(cat "$stamp") < 6 * 86400 )); then
    return
  fi
  rm -rf "$dir"
  python3 "$here/gen_transcripts.py" "$dir" "$@"
  date +%s > "$stamp"
}
generate claude-100m --claude-mb 75 --files 200 --seed 1
generate claude-1g --claude-mb 790 --files 2000 --seed 2
generate claude-big --claude-mb 1000 --big-mb 700 --files 300 --seed 3
generate codex --files 0 --codex-mb 60 --seed 4

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# --- 1. Per-day totals -------------------------------------------------------
compare_totals() {
  local name=$1 kind=$2 home="$data/$1"
  rm -f "$home/.vorla-agents/data/usage-cache.json"
  HOME="$home" "$vorla" usage --by-day > "$results/$name.ours.json"
  if [[ $kind == claude ]]; then
    HOME="$home" "$ccusage" claude daily --json --offline --timezone UTC > "$results/$name.cc.json"
  else
    HOME="$home" "$ccusage" codex daily --json --offline --timezone UTC > "$results/$name.cc.json"
  fi
  python3 - "$name" "$results/$name.ours.json" "$results/$name.cc.json" <<'PY'
import json, sys
name, ours_path, cc_path = sys.argv[1:]
ours = json.load(open(ours_path))
cc = {d["date"]: d for d in json.load(open(cc_path))["daily"]}
fields = [("input", "inputTokens"), ("output", "outputTokens"),
          ("cacheWrite", "cacheCreationTokens"), ("cacheRead", "cacheReadTokens")]
days = sorted(set(ours) | set(cc))
bad = []
for day in days:
    a = [ours.get(day, {}).get(f, 0) for f, _ in fields]
    b = [cc.get(day, {}).get(g, 0) for _, g in fields]
    if a != b:
        bad.append((day, a, b))
total = [sum(ours[d][f] for d in ours) for f, _ in fields]
print("totals %-11s %d days, %s: input %d, output %d, cache write %d, cache read %d" % (
    name, len(days), "EQUAL" if not bad else "DIFFERENT", *total))
for day, a, b in bad:
    print("   %s ours %s ccusage %s" % (day, a, b))
sys.exit(1 if bad else 0)
PY
}
echo "== per-day totals (vorla-agents usage --by-day vs ccusage ... daily --json --offline)"
status=0
compare_totals claude-100m claude || status=1
compare_totals claude-1g claude || status=1
compare_totals claude-big claude || status=1
compare_totals codex codex || status=1

# --- 2. Wall time and peak RSS -------------------------------------------------
# One line per run: "<tool> <seconds> <max RSS KB>".
measure() {
  local label=$1; shift
  /usr/bin/time -f "$label %e %M" -a -o "$results/times" "$@" > /dev/null
}
time_set() {
  local name=$1 kind=$2 home="$data/$1"
  local folder="$home/.claude"
  [[ $kind == codex ]] && folder="$home/.codex"
  local cache="$home/.vorla-agents/data/usage-cache.json"
  local cc_args=(claude daily --json --offline --timezone UTC)
  [[ $kind == codex ]] && cc_args=(codex daily --json --offline --timezone UTC)
  : > "$results/times"
  find "$folder" -name '*.jsonl' -print0 | xargs -0 cat > /dev/null  # warm the page cache
  for ((r = 0; r < runs; r++)); do
    measure cat sh -c "find '$folder' -name '*.jsonl' -print0 | xargs -0 cat"
    rm -f "$cache"
    HOME="$home" measure vorla-cold "$vorla" usage --json
    HOME="$home" measure vorla-warm "$vorla" usage --json
    HOME="$home" measure ccusage "$ccusage" "${cc_args[@]}"
  done
  python3 - "$name" "$results/times" <<'PY'
import statistics, sys
name, path = sys.argv[1:]
rows = {}
for line in open(path):
    tool, seconds, rss = line.split()
    rows.setdefault(tool, []).append((float(seconds), int(rss)))
med = {t: (statistics.median(s for s, _ in v), statistics.median(r for _, r in v) / 1024) for t, v in rows.items()}
cat, cold, cc = med["cat"][0], med["vorla-cold"][0], med["ccusage"][0]
print("| %s | %.2f s | %.2f s / %.0f MB | %.3f s / %.0f MB | %.2f s / %.0f MB | %.2f | %.1f |" % (
    name, cat, cold, med["vorla-cold"][1], med["vorla-warm"][0], med["vorla-warm"][1],
    cc, med["ccusage"][1], cold / cat, cc / cold))
PY
}
echo
echo "== wall time / peak RSS, median of $runs alternating runs, page cache warm, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| set | cat | ours cold | ours warm | ccusage | cold ÷ cat | ccusage ÷ cold |"
echo "|---|---|---|---|---|---|---|"
time_set claude-100m claude
time_set claude-1g claude
time_set claude-big claude
time_set codex codex
exit $status
