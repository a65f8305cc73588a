#!/usr/bin/env bash
# Trashing many small files in one call: orvc delete against trash-put (trash-cli), same files,
# same run. Fixtures live under /tmp with a throw-away HOME per run; the real home is never
# touched. Each run gets fresh folders, so no run pays for the inodes the previous one freed.
# Then `orvc restore` of such a run against the `orvc delete` that made it.
#
#   bench/delete.sh [count] [orvc binary]      (defaults: 10000, build/release/orvc)
#   RUNS=n sets the number of timed runs per tool (default 5).
#   BENCH_DIR=folder puts the fixtures there instead of /tmp. Both tools create one .trashinfo
#   file per item. On an ext4 without a journal, creating a file right after many were deleted
#   costs the kernel up to a few hundred microseconds (it skips recently freed inodes), and the
#   creations in one folder are serialised: that shared cost then hides the tools' own. A tmpfs
#   mount shows the difference between the tools best.
set -euo pipefail

count=${1:-10000}
repo=$(cd "$(dirname "$0")/.." && pwd)
orvc=${2:-$repo/build/release/orvc}
runs=${RUNS:-5}

for tool in hyperfine trash-put python3 "$orvc"; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d "${BENCH_DIR:-/tmp}/orvc-bench-delete-XXXXXX")
[[ -n "$work" && -d "$work" ]] || exit 1
trap 'rm -rf -- "$work"' EXIT
echo "$count" > "$work/count"
echo 0 > "$work/run"

# prepare.sh: a new run folder with its own HOME and items f1 ... f<count>.
cat > "$work/prepare.sh" <<'PREPARE'
#!/usr/bin/env bash
set -eu
work=$(dirname "$0")
run=$(( $(cat "$work/run") + 1 ))
echo "$run" > "$work/run"
mkdir -p "$work/$run/home/bin" "$work/$run/items"
cd "$work/$run/items"
seq 1 "$(cat "$work/count")" | sed 's/^/f/' | xargs touch
PREPARE
# run.sh TOOL...: the tool with the run's HOME, given every item as an absolute path.
cat > "$work/run.sh" <<'RUN'
#!/usr/bin/env bash
set -eu
work=$(dirname "$0")
home="$work/$(cat "$work/run")/home"
exec env -i HOME="$home" XDG_DATA_HOME="$home/.local/share" NO_COLOR=1 \
  PATH="$home/bin:/usr/bin:/bin" "$@" "$home"/../items/f*
RUN
# restore.sh ORVC: puts back the run that `orvc delete` recorded in the current run folder.
cat > "$work/restore.sh" <<'RESTORE'
#!/usr/bin/env bash
set -eu
work=$(dirname "$0")
home="$work/$(cat "$work/run")/home"
manifest=$(ls "$home/Library/Application Support/com.orvanta.app/history/"*.json)
exec env -i HOME="$home" XDG_DATA_HOME="$home/.local/share" NO_COLOR=1 \
  PATH="$home/bin:/usr/bin:/bin" "$1" restore "$(basename "$manifest" .json)"
RESTORE
chmod +x "$work/prepare.sh" "$work/run.sh" "$work/restore.sh"

echo "Trashing $count empty files in one call (fixtures under $work)"
hyperfine --runs "$runs" --prepare "$work/prepare.sh" --export-json "$work/results.json" \
  -n "orvc delete" "$work/run.sh $orvc delete" \
  -n "trash-put" "$work/run.sh trash-put"

# Every run must have emptied its items folder.
for folder in "$work"/[0-9]*/items; do
  if [[ -n "$(ls -A "$folder")" ]]; then echo "items left in $folder" >&2; exit 1; fi
done

# Undo: each timed restore puts back a run that `orvc delete` made just before, untimed.
echo "Restoring $count files trashed by one orvc delete"
hyperfine --runs "$runs" --prepare "$work/prepare.sh && $work/run.sh $orvc delete >/dev/null" \
  --export-json "$work/restore.json" -n "orvc restore" "$work/restore.sh $orvc"
run=$(cat "$work/run")
restored=$(ls "$work/$run/items" | wc -l)
[[ "$restored" -eq "$count" ]] || { echo "only $restored items restored" >&2; exit 1; }

python3 - "$work/results.json" "$work/restore.json" <<'PY'
import json, statistics, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
orvc, reference = results["orvc delete"], results["trash-put"]
def cpu(r):
    return r["user"] + r["system"]
print(f"orvc delete: median {orvc['median']:.3f} s wall, {cpu(orvc):.3f} s CPU (user+system, mean)")
print(f"trash-put:   median {reference['median']:.3f} s wall, {cpu(reference):.3f} s CPU")
print(f"ratio trash-put / orvc, wall (medians): {reference['median'] / orvc['median']:.1f}x (target: at least 10x)")
print(f"ratio trash-put / orvc, CPU time:       {cpu(reference) / cpu(orvc):.1f}x")
restore = json.load(open(sys.argv[2]))["results"][0]
print(f"orvc restore: median {restore['median']:.3f} s wall, {cpu(restore):.3f} s CPU")
print(f"ratio restore / delete, wall (medians): {restore['median'] / orvc['median']:.2f}x (target: at most 1.5x)")
PY
