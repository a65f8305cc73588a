#!/usr/bin/env bash
# What the live progress line costs: orvc scan of the generated home-like tree with the line
# forced on, against the same scan with it off, both writing to a pseudo-terminal (script(1)),
# in one hyperfine run. The target is at most 3 % slower with the line on.
# Usage: bench/progress.sh [--cold] [FILES] [FOLDERS]   (default 500000 files in 50000 folders)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/cache_mode.sh
set -- "${other_args[@]+"${other_args[@]}"}"
files=${1:-500000}
folders=${2:-50000}
orvc=${ORVC:-build/release/orvc}
runs=${RUNS:-$([[ $cache_mode == cold ]] && echo 5 || echo 20)}
[[ -x $orvc ]] || make build >/dev/null
command -v hyperfine >/dev/null && command -v script >/dev/null || scripts/install-deps bench

tree=${BENCH_DIR:-/tmp/orvc-bench}/home-$files-$folders
if [[ ! -d $tree ]]; then
  echo "generating $files files in $folders folders under $tree"
  python3 bench/generate_home_tree.py "$tree.tmp" "$files" "$folders"
  mv "$tree.tmp" "$tree"
fi

work=$(mktemp -d /tmp/orvc-bench-progress.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
run_orvc="env HOME=$work/home XDG_DATA_HOME=$work/home/.local/share NO_COLOR=1 $orvc"
# script(1) gives both streams a terminal and copies what it shows to the null device.
hyperfine "${cache_args[@]}" --runs "$runs" --export-json "$work/results.json" \
  -n quiet "script -qec '$run_orvc scan --quiet --path $tree' /dev/null" \
  -n progress "script -qec '$run_orvc scan --progress --path $tree' /dev/null"

python3 - "$work/results.json" "$cache_mode" <<'PY'
import json, sys
results = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
r = {k: x["median"] for k, x in results.items()}
cpu = {k: x["user"] + x["system"] for k, x in results.items()}
print(f"{sys.argv[2]} cache, medians: quiet {r['quiet']:.3f}s  progress {r['progress']:.3f}s")
print(f"the progress line costs {(r['progress'] / r['quiet'] - 1) * 100:+.1f} % of the time "
      f"(target: at most +3 %), {(cpu['progress'] / cpu['quiet'] - 1) * 100:+.1f} % of the "
      f"processor time (mean user + system; steadier on a busy machine)")
PY
