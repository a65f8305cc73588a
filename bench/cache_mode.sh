# Sourced by the benchmarks. Reads `--cold` among the script's arguments and sets:
#   cache_mode     warm or cold
#   cache_args     hyperfine arguments: warm-up runs when warm; when cold, no warm-up and the
#                  page cache dropped before every timed run (needs root)
#   other_args     the arguments that were not --cold
# and defines build_floor DIR, which builds the floor instruments (walkbench, dupbench) from
# FLOOR_SRC (default ../shared/floor beside the checkout) into DIR, the benchmark's own temporary
# folder; it prints why and returns 1 when they cannot be built.
cache_mode=warm
other_args=()
floor_src=${FLOOR_SRC:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/shared/floor}
for arg in "$@"; do
  if [[ $arg == --cold ]]; then cache_mode=cold; else other_args+=("$arg"); fi
done
if [[ $cache_mode == cold ]]; then
  if [[ $(id -u) -ne 0 || ! -w /proc/sys/vm/drop_caches ]]; then
    echo "--cold: cannot drop the page cache here (needs root and a writable" \
      "/proc/sys/vm/drop_caches); no cold-cache figures can be taken" >&2
    exit 2
  fi
  cache_args=(--warmup 0 --prepare 'sync; echo 3 > /proc/sys/vm/drop_caches')
  echo "cold cache: caches dropped before every timed run" >&2
else
  cache_args=(--warmup 2)
  echo "warm cache" >&2
fi

build_floor() {
  local into=$1
  local src=$floor_src
  [[ -f $src/walkbench.c && -f $src/dupbench.c ]] ||
    { echo "floor instruments not found in $src (set FLOOR_SRC); floor figures skipped" >&2; return 1; }
  local b3=/usr/share/cargo/registry/blake3-1.3.1/c
  mkdir -p "$into"
  gcc -O2 -pthread -o "$into/walkbench" "$src/walkbench.c" || return 1
  if [[ -d $b3 ]]; then
    gcc -O3 -pthread -I"$b3" -o "$into/dupbench" "$src/dupbench.c" "$b3/blake3.c" \
      "$b3/blake3_dispatch.c" "$b3/blake3_portable.c" "$b3/blake3_sse2_x86-64_unix.S" \
      "$b3/blake3_sse41_x86-64_unix.S" "$b3/blake3_avx2_x86-64_unix.S" \
      "$b3/blake3_avx512_x86-64_unix.S" || return 1
  else
    echo "BLAKE3 C sources missing (librust-blake3-dev); dupbench not built" >&2
  fi
}
