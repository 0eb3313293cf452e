#!/usr/bin/env bash
# `vorla-agents usage --json` as a whole command, with hyperfine, on a 355 MB
# set of generated transcripts (bench/gen_transcripts.py, into bench/data/):
#   warm: the usage cache is current, so no transcript is read (next to
#         the program's own start and a C listing of the same files);
#   cold: no usage cache and an empty page cache, next to `cat` of the same
#         files from an empty page cache.
# Pass a second build folder (an older commit's) to compare before and after.
#
#   bench/bench_usage_command.sh [build/release] [before-build] [cold runs]
#
# Cold runs drop the page cache (as root); without that right they start
# from a warm page cache, and the script says so.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program() { local p; p=$(cd "$1" && pwd)/src/app/vorla-agents; [[ -x $p ]] || { echo "build $p first" >&2; exit 1; }; echo "$p"; }
after=$(program "${1:-build/release}")
before=${2:+$(program "$2")}
cold_runs=${3:-5}
home="$here/data/usage-355m"
export TZ=UTC

# Regenerated when older than 6 days, so every timestamp stays in the window.
if [[ ! -f "$home/.generated" ]] || (( $(date +%s) - $(cat "$home/.generated") >= 6 * 86400 )); then
  rm -rf "$home" "$home-before"
  python3 "$here/gen_transcripts.py" "$home" --claude-mb 248 --files 1000 --codex-mb 32 --seed 5
  date +%s > "$home/.generated"
fi
size=$(find "$home/.claude" "$home/.codex" -name '*.jsonl' -printf '%s\n' |
  awk '{n++; s+=$1} END {printf "%d transcripts, %.0f MiB", n, s/1048576}')
echo "== $size; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

# Each program keeps its own usage cache (an older build would rewrite the
# newer form, and the other way round), so each has a HOME of its own over
# the same transcripts.
export CLAUDE_CONFIG_DIR="$home/.claude" CODEX_HOME="$home/.codex"
homes=("$home")
programs=("$after")
if [[ -n $before ]]; then
  mkdir -p "$home-before"
  homes=("$home-before" "${homes[@]}")
  programs=("$before" "${programs[@]}")
fi

# Next to each, in the same run, the two floors of a warm run: the program
# printing its help (what starting it costs), and a C program that only
# lists and stats the same transcripts (bench/peers/stat_walk.c).
peer_dir=$(mktemp -d)
trap 'rm -rf "$peer_dir"' EXIT
cc -O2 -o "$peer_dir/stat_walk" "$here/peers/stat_walk.c"
echo "== warm (usage cache current)"
for i in "${!programs[@]}"; do
  HOME="${homes[i]}" "${programs[i]}" usage --json > /dev/null
  HOME="${homes[i]}" hyperfine -N --warmup 5 --runs 100 "$peer_dir/stat_walk" \
    "${programs[i]} usage --help" "${programs[i]} usage --json"
done
echo "== load afterwards $(cut -d' ' -f1-3 /proc/loadavg)"

drop='sync; echo 3 > /proc/sys/vm/drop_caches'
if ! sh -c "$drop" 2>/dev/null; then
  drop=':'
  echo "(cannot drop the page cache: the cold runs below read from a warm one)"
fi
cold=("find '$home/.claude' '$home/.codex' -name '*.jsonl' -print0 | xargs -0 cat > /dev/null")
clear=""
for i in "${!programs[@]}"; do
  cold+=("HOME='${homes[i]}' ${programs[i]} usage --json")
  clear+="; rm -f '${homes[i]}/.vorla-agents/data/usage-cache.json'"
done
echo "== cold (no usage cache, page cache dropped before every run)"
hyperfine --runs "$cold_runs" --prepare "$drop$clear" "${cold[@]}"
