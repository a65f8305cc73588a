#!/usr/bin/env bash
# Times `orvc duplicates` against rmlint, jdupes and fdupes on a generated tree (warm cache),
# then the content-stage hashing speed against `b3sum --num-threads 1` on one 1 GiB file.
# Trees are generated under /tmp and removed afterwards. Needs build/release/orvc (or ORVC=...).
#   bench/duplicates.sh --cold   page cache dropped before every timed run (root); races orvc,
#                                jdupes and the floor (dupbench: the 8-thread prototype pipeline
#                                and -R, every byte read once) and skips the hashing part
#   bench/duplicates.sh --apply  times `duplicates --apply` against `duplicates` alone, each run
#                                on a fresh copy of the tree with an empty home (its Trash)
# DUP_TREE=DIR times an existing tree instead of generating one (it is left in place);
# ORVC_BASELINE=BINARY adds an earlier build to the same run ("orvc-before").
set -euo pipefail

cd "$(dirname "$0")/.."
repo=$(pwd)
source bench/cache_mode.sh
apply_mode=false
for arg in "${other_args[@]}"; do [[ $arg == --apply ]] && apply_mode=true; done
orvc=${ORVC:-$repo/build/release/orvc}
hash_bench=${HASH_BENCH:-$repo/build/bench/bench/bench_content_hash}
[[ -x $orvc ]] || make build >/dev/null
if ! $apply_mode && [[ ! -x $hash_bench ]]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench --target bench_content_hash >/dev/null
fi
files=${FILES:-20000}
total_mb=${TOTAL_MB:-2048}
runs=${RUNS:-5}
given_tree=${DUP_TREE:-}

for tool in hyperfine rmlint jdupes fdupes b3sum python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/orvc-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
tree=${given_tree:-$work/tree}
home=$work/home
mkdir -p "$home"

[[ -n $given_tree ]] || {
echo "Generating $files files, about $total_mb MB, under $tree"
python3 - "$tree" "$files" "$total_mb" <<'PY'
import os, random, sys
root, count, total_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(7)
# A home-like mix: mostly small files, a few large ones holding much of the bytes. Sizes come
# from a pool of a few thousand values, so many unrelated files share a size.
def pool_size():
    tier = rng.random()
    if tier < 0.85:
        return rng.choice(range(4096, 49152, 256))
    if tier < 0.99:
        return rng.choice(range(65536, 524288, 4096))
    return rng.choice(range(1048576, 8 * 1048576, 65536))
size_pool = [pool_size() for _ in range(4000)]
originals = []
def path(i):
    d = os.path.join(root, f"p{i % 97}", f"s{i % 13}")
    os.makedirs(d, exist_ok=True)
    return os.path.join(d, f"f{i}.bin")
made, written, target = 0, 0, total_mb * 1048576
while made < count:
    i = made
    roll = rng.random()
    if originals and roll < 0.30:          # a byte-identical copy
        src = rng.choice(originals)
        data = open(src, "rb").read()
    elif originals and roll < 0.36:        # same size, one byte different
        data = bytearray(open(rng.choice(originals), "rb").read())
        data[rng.randrange(len(data))] ^= 0x5A
        data = bytes(data)
    elif originals and roll < 0.40:        # another name of the same file
        os.link(rng.choice(originals), path(i))
        made += 1
        continue
    else:
        size = rng.choice(size_pool)
        if written + size > target:
            size = rng.choice(range(512, 4096 * 4, 512))
        data = os.urandom(size)
        originals.append(path(i))
    with open(path(i), "wb") as out:
        out.write(data)
    written += len(data)
    made += 1
print(f"  {made} names, {written / 1048576:.0f} MB written")
PY
}
du -sh "$tree"
# Write the new tree out first: background write-back would otherwise run during the timings.
sync

if $apply_mode; then
  # --apply moves what it finds: every timed run, of either command, starts from a fresh copy.
  live=$work/live
  scan_live="env HOME=$home XDG_DATA_HOME=$home/.local/share NO_COLOR=1 $orvc duplicates --path $live"
  fresh="rm -rf $live $home && mkdir -p $home && cp -a $tree $live && sync"
  echo
  echo "duplicates and duplicates --apply, each on a fresh copy (warm cache)"
  hyperfine --runs "$runs" --prepare "$fresh" --export-json "$work/apply.json" \
    -n duplicates "$scan_live >/dev/null 2>&1" \
    -n apply "$scan_live --apply >/dev/null 2>&1"
  bash -c "$fresh" && $scan_live --apply 2>/dev/null | tail -n 2
  python3 - "$work/apply.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
print(f"duplicates {r['duplicates']:.3f}s, --apply {r['apply']:.3f}s:"
      f" ratio {r['apply'] / r['duplicates']:.2f} (target <= 2.50)")
PY
  [[ -n $given_tree ]] || rm -rf "$tree"
  exit 0
fi

cd "$work"  # rmlint would otherwise leave its scripts in the caller's folder
run_orvc="env HOME=$home XDG_DATA_HOME=$home/.local/share NO_COLOR=1 $orvc duplicates --path $tree"
baseline=()
[[ -n ${ORVC_BASELINE:-} ]] &&
  baseline=(-n orvc-before "env HOME=$home XDG_DATA_HOME=$home/.local/share NO_COLOR=1 $ORVC_BASELINE duplicates --path $tree >/dev/null 2>&1")
if [[ $cache_mode == cold ]]; then
  floor=()
  if build_floor "$work/floor" && [[ -x $work/floor/dupbench ]]; then
    floor=(-n floor-8 "$work/floor/dupbench -t 8 $tree" -n read-once "$work/floor/dupbench -R -t 8 $tree")
  fi
  echo
  echo "Cold-cache runs (reports to /dev/null)"
  hyperfine "${cache_args[@]}" --runs "$runs" --export-json "$work/cold.json" \
    -n orvc "$run_orvc >/dev/null 2>&1" \
    -n jdupes "jdupes -r -q $tree >/dev/null" \
    "${floor[@]}" "${baseline[@]}"
  python3 - "$work/cold.json" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
o = r["orvc"]
print("cold cache, medians: " + "  ".join(f"{k} {v:.3f}s" for k, v in r.items()))
print(f"orvc is {r['jdupes'] / o:.2f}x faster than jdupes")
if "orvc-before" in r:
    print(f"orvc-before is {r['jdupes'] / r['orvc-before']:.2f}x faster than jdupes")
for k in ("floor-8", "read-once"):
    if k in r:
        print(f"orvc / {k}: {o / r[k]:.2f}")
PY
  [[ -n $given_tree ]] || rm -rf "$tree"
  exit 0
fi
echo
echo "Warm-cache runs (each tool's report to /dev/null)"
hyperfine --warmup 2 --runs "$runs" --export-json "$work/tree.json" \
  -n orvc "$run_orvc >/dev/null 2>&1" \
  -n jdupes "jdupes -r -q $tree >/dev/null" \
  -n fdupes "fdupes -r -q $tree >/dev/null" \
  -n rmlint "rmlint -T df -o summary:$work/rmlint.txt -o sh:$work/rmlint.sh -o json:$work/rmlint.json $tree >/dev/null" \
  "${baseline[@]}"

python3 - "$work/tree.json" <<'PY'
import json, sys
results = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
orvc = results.pop("orvc")
print(f"orvc mean {orvc:.3f}s")
for name, mean in sorted(results.items(), key=lambda kv: kv[1]):
    print(f"  {name:7} {mean:.3f}s   orvc is {mean / orvc:.2f}x faster")
PY
[[ -n $given_tree ]] || rm -rf "$tree"

echo
echo "Content-stage hashing of one 1 GiB file (single thread)"
big=$work/big.bin
head -c 1073741824 /dev/urandom >"$big"
cat "$big" >/dev/null
hyperfine --warmup 1 --runs "$runs" --export-json "$work/hash.json" \
  -n b3sum "b3sum --num-threads 1 $big >/dev/null" \
  -n orvc-content "$hash_bench $big >/dev/null"
python3 - "$work/hash.json" <<'PY'
import json, sys
results = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
gib = 1.0
b3, ours = results["b3sum"], results["orvc-content"]
print(f"b3sum --num-threads 1: {gib / b3:.2f} GiB/s; orvc content stage: {gib / ours:.2f} GiB/s;"
      f" ratio {b3 / ours:.2f} (target >= 0.80)")
PY
