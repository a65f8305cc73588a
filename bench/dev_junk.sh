#!/usr/bin/env bash
# Times `orvc dev-junk` against `du -s` over exactly the folders orvc reports, on a generated
# home under /tmp. Both read the same warm metadata; orvc also discovers the projects.
#
#   bench/dev_junk.sh                      # 300 projects, 5000-file node_modules, 20000-file targets
#   ORVC_BENCH_QUICK=1 bench/dev_junk.sh   # 60 projects, 1000 / 4000 files
#   bench/dev_junk.sh --cold               # the page cache dropped before every timed run (root)
#
# The same run times the floor: a 32-thread minimal walk of the code folders (walkbench), and
# `dev-junk --older 30`, which also reads every project's last activity.
#
# Environment: ORVC (default build/release/orvc), ORVC_BENCH_HOME (default a fresh
# /tmp/orvc-bench-home.XXXXXX), ORVC_BENCH_KEEP=1 keeps the home for the next run,
# ORVC_BENCH_PROJECTS, ORVC_BENCH_NODE_FILES, ORVC_BENCH_TARGET_FILES, ORVC_BENCH_RUNS.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/bench/cache_mode.sh"
orvc=$(realpath -m "${ORVC:-$repo/build/release/orvc}")
if [[ ${ORVC_BENCH_QUICK:-0} == 1 ]]; then
  projects=${ORVC_BENCH_PROJECTS:-60} node_files=${ORVC_BENCH_NODE_FILES:-1000}
  target_files=${ORVC_BENCH_TARGET_FILES:-4000}
else
  projects=${ORVC_BENCH_PROJECTS:-300} node_files=${ORVC_BENCH_NODE_FILES:-5000}
  target_files=${ORVC_BENCH_TARGET_FILES:-20000}
fi
runs=${ORVC_BENCH_RUNS:-$([[ $cache_mode == cold ]] && echo 5 || echo 10)}

command -v hyperfine >/dev/null || { echo "hyperfine is required" >&2; exit 1; }
[[ -x $orvc ]] || { echo "no orvc binary at $orvc (set ORVC)" >&2; exit 1; }

home=${ORVC_BENCH_HOME:-$(mktemp -d /tmp/orvc-bench-home.XXXXXX)}
case $(realpath -m "$home") in
  /tmp/?*) ;;
  *) echo "refusing to generate outside /tmp: $home" >&2; exit 1 ;;
esac
work=$(mktemp -d /tmp/orvc-bench-work.XXXXXX)
cleanup() {
  rm -rf "$work"
  [[ ${ORVC_BENCH_KEEP:-0} == 1 ]] || rm -rf "$home"
}
trap cleanup EXIT

if [[ ! -e $home/.generated ]]; then
  echo "generating $projects projects in $home ..." >&2
  python3 - "$home" "$projects" "$node_files" "$target_files" <<'PY'
import os, sys

home, projects, node_files, target_files = sys.argv[1], *map(int, sys.argv[2:])
MiB = 1 << 20

def block_size(total, files):
    # Enough allocation per file that every folder clears its report threshold.
    return max(4096, -(-(total // files) // 4096) * 4096)

def fill(folder, files, per_dir, size, depth_names):
    for i in range(files):
        d = os.path.join(folder, *[f"{n}{(i // per_dir) % 7 if k else i // per_dir}"
                                   for k, n in enumerate(depth_names)])
        if i % per_dir == 0:
            os.makedirs(d, exist_ok=True)
        fd = os.open(os.path.join(d, f"f{i}.js"), os.O_WRONLY | os.O_CREAT, 0o644)
        os.write(fd, b"x")
        os.posix_fallocate(fd, 0, size)
        os.close(fd)

def touch(path, text=""):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)

node_size = block_size(55 * MiB, node_files)
target_size = block_size(22 * MiB, target_files)
small_files = max(200, target_files // 10)
small_size = block_size(22 * MiB, small_files)
root = os.path.join(home, "Projects")
for p in range(projects):
    kind = p % 5
    project = os.path.join(root, f"p{p:03d}")
    touch(os.path.join(project, "src", "main.txt"), "source\n")
    if kind == 0:
        touch(os.path.join(project, "Cargo.toml"))
        fill(os.path.join(project, "target", "debug"), target_files, 100, target_size,
             ["deps", "sub"])
    elif kind == 1:
        touch(os.path.join(project, "package.json"), "{}")
        fill(os.path.join(project, "node_modules"), node_files, 25, node_size, ["pkg", "lib"])
        fill(os.path.join(project, "dist"), small_files, 50, small_size, ["chunk"])
    elif kind == 2:
        touch(os.path.join(project, "pyproject.toml"))
        touch(os.path.join(project, "requirements.txt"))
        touch(os.path.join(project, ".venv", "pyvenv.cfg"))
        fill(os.path.join(project, ".venv", "lib"), small_files, 50, small_size, ["site"])
        fill(os.path.join(project, "pkg", "__pycache__"), 20, 20, 4096, ["c"])
    elif kind == 3:
        touch(os.path.join(project, "build.gradle"))
        fill(os.path.join(project, "build"), small_files, 50, small_size, ["classes"])
    else:
        touch(os.path.join(project, "CMakeLists.txt"))
        fill(os.path.join(project, "build"), small_files, 50, small_size, ["CMakeFiles"])
touch(os.path.join(home, ".generated"))
PY
fi

run_orvc() { env -i PATH="$PATH" HOME="$home" XDG_DATA_HOME="$home/.local/share" NO_COLOR=1 "$orvc" dev-junk; }

# The folders orvc reports, NUL-separated for du.
run_orvc >"$work/report.txt"
sed -n 's/^    [✓!] \{1,\}[0-9.]\{1,\} [KMGTP]\{0,1\}B  //p' "$work/report.txt" | tr '\n' '\0' >"$work/folders"
count=$(tr -cd '\0' <"$work/folders" | wc -c)
echo "orvc reports $count items; $(tail -n 2 "$work/report.txt" | head -n 1 | sed 's/^ *//')" >&2

# ORVC_BASELINE=BINARY races an earlier build as well ("orvc-before").
baseline=()
[[ -n ${ORVC_BASELINE:-} ]] &&
  baseline=(-n orvc-before "env -i PATH=\"\$PATH\" HOME=\"$home\" XDG_DATA_HOME=\"$home/.local/share\" NO_COLOR=1 $ORVC_BASELINE dev-junk")
floor=()
build_floor "$work/floor" && floor=(-n floor-32 "$work/floor/walkbench -t 32 $home/Projects")
hyperfine "${cache_args[@]}" --runs "$runs" --export-json "$work/times.json" \
  -n orvc "env -i PATH=\"\$PATH\" HOME=\"$home\" XDG_DATA_HOME=\"$home/.local/share\" NO_COLOR=1 $orvc dev-junk" \
  -n orvc-older "env -i PATH=\"\$PATH\" HOME=\"$home\" XDG_DATA_HOME=\"$home/.local/share\" NO_COLOR=1 $orvc dev-junk --older 30" \
  -n du "du -s --files0-from=$work/folders" \
  "${floor[@]}" "${baseline[@]}"

python3 - "$work/times.json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
orvc, du = results["orvc"]["median"], results["du"]["median"]
print(f"median  orvc dev-junk {orvc:.3f}s  du -s over the reported folders {du:.3f}s")
print(f"orvc is {du / orvc:.2f}x faster than du -s")
older = results["orvc-older"]["median"]
print(f"orvc dev-junk --older 30 {older:.3f}s: {100 * (older / orvc - 1):+.1f}% over dev-junk")
if "floor-32" in results:
    floor = results["floor-32"]["median"]
    print(f"floor (32-thread walk of the code folders) {floor:.3f}s; orvc / floor {orvc / floor:.2f}")
if "orvc-before" in results:
    before = results["orvc-before"]["median"]
    print(f"orvc-before {before:.3f}s: {du / before:.2f}x faster than du -s")
PY
