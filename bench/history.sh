#!/usr/bin/env bash
# `orvc history` over a full history folder: [manifests] manifests of [items] items each, every
# item still in a freedesktop Trash with its .trashinfo record (the slowest case: each state is
# checked). Fixtures live under /tmp with a throw-away HOME; the real home is never touched.
#
#   bench/history.sh [manifests] [items] [orvc binary]   (defaults: 50, 10000, build/release/orvc)
#   RUNS=n sets the number of timed runs (default 5). BENCH_DIR=folder puts the fixtures there.
set -euo pipefail

manifests=${1:-50}
items=${2:-10000}
repo=$(cd "$(dirname "$0")/.." && pwd)
orvc=${3:-$repo/build/release/orvc}
runs=${RUNS:-5}

for tool in hyperfine python3 "$orvc"; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d "${BENCH_DIR:-/tmp}/orvc-bench-history-XXXXXX")
[[ -n "$work" && -d "$work" ]] || exit 1
trap 'rm -rf -- "$work"' EXIT

python3 - "$work/home" "$manifests" "$items" <<'PY'
import json, os, sys, time, uuid
home, manifests, items = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
history = os.path.join(home, "Library/Application Support/com.orvanta.app/history")
files = os.path.join(home, ".local/share/Trash/files")
info = os.path.join(home, ".local/share/Trash/info")
for folder in (history, files, info):
    os.makedirs(folder, exist_ok=True)
now = int(time.time())
for m in range(manifests):
    session = str(uuid.uuid4())
    deleted = []
    for i in range(items):
        name = f"r{m}-f{i}"
        original = f"{home}/projects/p{m}/{name}"
        with open(os.path.join(files, name), "w") as f:
            f.write("x")
        with open(os.path.join(info, name + ".trashinfo"), "w") as f:
            f.write(f"[Trash Info]\nPath={original}\nDeletionDate=2026-01-01T00:00:00\n")
        deleted.append({"trash_path": os.path.join(files, name),
                        "trash_inode": os.lstat(os.path.join(files, name)).st_ino,
                        "record_inode": os.lstat(os.path.join(info, name + ".trashinfo")).st_ino,
                        "original_path": original, "size": 1, "category": "cli_delete",
                        "trashed_name": name})
    session_doc = {"session_id": session, "timestamp": "2026-01-01T00:00:00+00:00",
                   "unix_timestamp": now - m, "cleanup_type": "cli_delete",
                   "deleted_files": deleted, "total_bytes_freed": items, "status": "completed"}
    with open(os.path.join(history, session + ".json"), "w") as f:
        json.dump(session_doc, f, indent=2)
PY

echo "orvc history: $manifests manifests of $items items (fixtures under $work)"
hyperfine --runs "$runs" --warmup 1 --export-json "$work/history.json" \
  -n "orvc history" "env -i HOME=$work/home XDG_DATA_HOME=$work/home/.local/share NO_COLOR=1 $orvc history"
python3 - "$work/history.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"][0]
print(f"orvc history: median {r['median']:.3f} s wall, {r['user'] + r['system']:.3f} s CPU (target: within 1 s)")
PY
