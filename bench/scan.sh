#!/usr/bin/env bash
# orvc scan against du -s, gdu and the floor walker (2 threads: the warm floor on a 2-core
# machine; 32 threads: the cold floor) on the same generated home-like tree, in one hyperfine run.
# Usage: bench/scan.sh [--cold] [FILES] [FOLDERS]   (default 500000 files in 50000 folders)
# ORVC_BASELINE=BINARY adds an earlier build to the same run.
# --cold drops the page cache before every timed run (root only).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/cache_mode.sh
set -- "${other_args[@]+"${other_args[@]}"}"
files=${1:-500000}
folders=${2:-50000}
orvc=${ORVC:-build/release/orvc}
runs=${RUNS:-$([[ $cache_mode == cold ]] && echo 5 || echo 10)}
[[ -x $orvc ]] || make build >/dev/null
command -v gdu >/dev/null && command -v hyperfine >/dev/null && [[ -x /usr/bin/time ]] ||
  { scripts/install-deps bench; command -v /usr/bin/time >/dev/null || sudo apt-get install -y -qq time; }

tree=${BENCH_DIR:-/tmp/orvc-bench}/home-$files-$folders
if [[ ! -d $tree ]]; then
  echo "generating $files files in $folders folders under $tree"
  python3 bench/generate_home_tree.py "$tree.tmp" "$files" "$folders"
  mv "$tree.tmp" "$tree"
fi

work=$(mktemp -d /tmp/orvc-bench-scan.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
run_orvc="env HOME=$work/home XDG_DATA_HOME=$work/home/.local/share NO_COLOR=1 $orvc"
# ORVC_BASELINE=BINARY races an earlier build as well ("orvc-before").
baseline=()
[[ -n ${ORVC_BASELINE:-} ]] &&
  baseline=(-n orvc-before "env HOME=$work/home XDG_DATA_HOME=$work/home/.local/share NO_COLOR=1 $ORVC_BASELINE scan --path $tree")
floor=()
if build_floor "$work/floor"; then
  floor=(-n floor-2 "$work/floor/walkbench -t 2 $tree" -n floor-32 "$work/floor/walkbench -t 32 $tree")
fi

# gdu keeps no files of its own with -n (no interactive mode); du and walkbench write nothing.
hyperfine "${cache_args[@]}" --runs "$runs" --export-json "$work/results.json" \
  -n orvc "$run_orvc scan --path $tree" \
  -n du "du -s $tree" \
  -n gdu "gdu -n -p $tree" \
  "${floor[@]}" "${baseline[@]}"

python3 - "$work/results.json" "$cache_mode" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
o = r["orvc"]
print(f"{sys.argv[2]} cache, medians: " + "  ".join(f"{k} {v:.3f}s" for k, v in r.items()))
print(f"orvc is {r['du'] / o:.2f}x faster than du -s, {r['gdu'] / o:.2f}x faster than gdu")
for name in ("orvc", "orvc-before"):
    if name not in r:
        continue
    line = f"{name}: {r['du'] / r[name]:.2f}x du -s"
    for k in ("floor-2", "floor-32"):
        if k in r:
            line += f", {r[name] / r[k]:.2f}x the {k} walker"
    print(line)
PY
rss=$(/usr/bin/time -f %M $run_orvc scan --path "$tree" 2>&1 >/dev/null | tail -1)
echo "orvc peak resident memory: $((rss / 1024)) MB"
