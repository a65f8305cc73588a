#!/usr/bin/env bash
# orvc scan against du -s and gdu on the same generated home-like tree, warm cache.
# Usage: bench/scan.sh [FILES] [FOLDERS]   (default 500000 files in 50000 folders)
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-500000}
folders=${2:-50000}
orvc=${ORVC:-build/release/orvc}
[[ -x $orvc ]] || make build >/dev/null
command -v gdu >/dev/null && command -v hyperfine >/dev/null && [[ -x /usr/bin/time ]] ||
  { scripts/install-deps bench; command -v /usr/bin/time >/dev/null || sudo apt-get install -y -qq time; }

tree=${BENCH_DIR:-/tmp/orvc-bench}/home-$files-$folders
if [[ ! -d $tree ]]; then
  echo "generating $files files in $folders folders under $tree"
  python3 bench/generate_home_tree.py "$tree.tmp" "$files" "$folders"
  mv "$tree.tmp" "$tree"
fi

results=$(mktemp)
hyperfine --warmup 2 --runs 10 --export-json "$results" \
  -n orvc "$orvc scan --path $tree" \
  -n du "du -s $tree" \
  -n gdu "gdu -n -p $tree"

python3 - "$results" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"median  orvc {r['orvc']:.3f}s  du {r['du']:.3f}s  gdu {r['gdu']:.3f}s")
print(f"orvc is {r['du'] / r['orvc']:.2f}x faster than du -s, {r['gdu'] / r['orvc']:.2f}x faster than gdu")
PY
rss=$(/usr/bin/time -f %M "$orvc" scan --path "$tree" 2>&1 >/dev/null | tail -1)
echo "orvc peak resident memory: $((rss / 1024)) MB"
rm -f "$results"
