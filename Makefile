# Front door: every target installs what it needs first, then builds with CMake presets.
JOBS ?= $(shell nproc 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2)
ARGS ?= help
PREFIX ?= /usr/local

.PHONY: all build run test tsan fuzz macos-check install bench format clean

all: build

build:
	scripts/install-deps build
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

run: build
	./build/release/orvc $(ARGS)

test:
	scripts/install-deps test
	cmake --preset test >/dev/null
	cmake --build --preset test -j $(JOBS)
	ctest --preset test -j $(JOBS)

# Compiles every macOS source file for both Mac processors with zig's clang (Linux hosts).
macos-check:
	scripts/install-deps test
	scripts/macos-check

# The multi-threaded unit tests again, under ThreadSanitizer (suppressions in tests/tsan.supp).
tsan:
	scripts/install-deps test
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# Builds the libFuzzer targets with clang 19 and runs each for FUZZ_SECONDS.
FUZZ_SECONDS ?= 20
fuzz:
	scripts/install-deps fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run build/fuzz

install: build
	cmake --install build/release --prefix $(PREFIX)

bench: build
	scripts/install-deps bench
	bench/run-all

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf build
