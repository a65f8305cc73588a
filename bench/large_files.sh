#!/usr/bin/env bash
# orvc large-files (text and --json) against find and fd pruning the same 38 folder names, on one
# generated tree, plus peak RSS. Usage: bench/large_files.sh [--cold]
#   (ORVC_BENCH_FILES=50000 for a quick run; default 1000000; ORVC_BENCH_TREE=DIR times an
#   existing tree; --cold drops the page cache before every timed run, root only)
# The tree goes under /tmp and is kept for later runs (ORVC_BENCH_CLEAN=1 removes it).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/cache_mode.sh
files=${ORVC_BENCH_FILES:-1000000}
large=${ORVC_BENCH_LARGE:-300}
orvc=${ORVC:-build/release/orvc}
[[ -x $orvc ]] || { cmake --preset release >/dev/null && cmake --build build/release -j2 >/dev/null; }
command -v hyperfine >/dev/null && command -v fdfind >/dev/null ||
  { apt-get update -qq && apt-get install -y -qq hyperfine fd-find; }
[[ -x /usr/bin/time ]] || { apt-get update -qq && apt-get install -y -qq time; }

tree=${ORVC_BENCH_TREE:-/tmp/orvc-bench-large-files/tree-$files-$large}
if [[ ! -d $tree ]]; then
  echo "generating $files files ($large of them 1-2 MB) under $tree"
  python3 - "$tree.tmp" "$files" "$large" <<'PY'
import os, random, sys
root, files, large = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(20240611)
folders = max(1, files // 20)
paths = [root]
os.makedirs(root, exist_ok=True)
for i in range(1, folders):
    # Hang each folder below a recent one so the tree gets some depth.
    parent = paths[max(0, len(paths) - 1 - int(rng.expovariate(1 / 30)))]
    if parent.count("/") - root.count("/") >= 8:
        parent = root
    path = f"{parent}/d{i}"
    os.mkdir(path)
    paths.append(path)
blob = os.urandom(2 << 20)
large_at = set(rng.sample(range(files), min(large, files)))
flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL
for i in range(files):
    size = rng.randrange(1 << 20, 2 << 20) if i in large_at else rng.randrange(0, 1024)
    fd = os.open(f"{paths[rng.randrange(folders)]}/f{i}.dat", flags, 0o644)
    if size:
        os.write(fd, blob[:size])
    os.close(fd)
PY
  mv "$tree.tmp" "$tree"
fi

# A throw-away home keeps the run away from the real one.
home=$(mktemp -d /tmp/orvc-bench-home.XXXXXX)
trap 'rm -rf "$home"' EXIT
run_orvc="env HOME=$home XDG_DATA_HOME=$home/.local/share NO_COLOR=1 $orvc"
found=$($run_orvc large-files --path "$tree" --threshold 1 | sed -n "s/^  \([0-9]*\) files, .*/\1/p")
echo "orvc lists $found files; find lists $(find "$tree" -type f -size +1M | wc -l)"

# The folder names large-files never enters (its skip list), pruned by the peers as well.
skip=(.git .svn .hg node_modules .next .nuxt .turbo .parcel-cache bower_components target build
  dist .gradle DerivedData .cargo .rustup .npm .yarn .pnpm-store .gem .m2 .cocoapods __pycache__
  .venv venv .tox .conda .gradle-cache .docker .colima .lima .vagrant.d Caches .cache .Trash
  CloudStorage "Photos Library.photoslibrary" "Photos Library.migratedphotolibrary")
prune="" excludes=""
for name in "${skip[@]}"; do
  prune+="${prune:+ -o} -iname '$name'"
  excludes+=" -E '$name'"
done
# ORVC_BASELINE=BINARY races an earlier build as well ("orvc-before").
baseline=()
[[ -n ${ORVC_BASELINE:-} ]] &&
  baseline=(-n orvc-before "env HOME=$home XDG_DATA_HOME=$home/.local/share NO_COLOR=1 $ORVC_BASELINE large-files --path $tree --threshold 1")
runs=${ORVC_BENCH_RUNS:-$([[ $cache_mode == cold ]] && echo 5 || echo 10)}
results=$(mktemp)
hyperfine "${cache_args[@]}" --runs "$runs" --export-json "$results" \
  -n orvc "$run_orvc large-files --path $tree --threshold 1" \
  -n orvc-json "$run_orvc large-files --path $tree --threshold 1 --json" \
  -n find "find $tree -type d \\( $prune \\) -prune -o -type f -size +1M -print" \
  -n fd "fdfind -u --ignore-case -t f -S +1M $excludes . $tree" \
  "${baseline[@]}"

python3 - "$results" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"median  orvc {r['orvc']:.3f}s  find {r['find']:.3f}s  fd {r['fd']:.3f}s")
print(f"orvc is {r['find'] / r['orvc']:.2f}x faster than find, {r['fd'] / r['orvc']:.2f}x faster than fd")
print(f"--json {r['orvc-json']:.3f}s: {(r['orvc-json'] / r['orvc'] - 1) * 100:+.1f}% against the text report")
if "orvc-before" in r:
    b = r["orvc-before"]
    print(f"orvc-before {b:.3f}s: {r['find'] / b:.2f}x find, {r['fd'] / b:.2f}x fd")
PY
rss=$(/usr/bin/time -f %M $run_orvc large-files --path "$tree" --threshold 1 2>&1 >/dev/null | tail -1)
echo "orvc peak resident memory: $((rss / 1024)) MB"
rss=$(/usr/bin/time -f %M $run_orvc large-files --path "$tree" --threshold 1 --json 2>&1 >/dev/null | tail -1)
echo "orvc --json peak resident memory: $((rss / 1024)) MB"
rm -f "$results"
[[ ${ORVC_BENCH_CLEAN:-0} == 1 ]] && rm -rf "$tree"
exit 0
