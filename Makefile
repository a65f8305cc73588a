# Front door: every target installs what it needs first, then builds with CMake presets.
JOBS ?= $(shell nproc 2>/dev/null || sysctl -n hw.ncpu 2>/dev/null || echo 2)
ARGS ?= help
PREFIX ?= /usr/local

.PHONY: all build run test macos-check install bench format clean

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

install: build
	cmake --install build/release --prefix $(PREFIX)

bench: build
	scripts/install-deps bench
	bench/run-all

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf build
