#pragma once
// Helpers shared by the fuzz targets: turning the fuzzer's bytes into the inputs a reader takes,
// and stopping loudly when a property does not hold.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvc::fuzz {

inline std::string_view as_text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The text before the first line break, and the rest after it.
inline std::pair<std::string_view, std::string_view> first_line(std::string_view text) {
  const size_t newline = text.find('\n');
  if (newline == std::string_view::npos) return {text, {}};
  return {text.substr(0, newline), text.substr(newline + 1)};
}

// A violated property: libFuzzer records the input as a crash.
[[noreturn]] inline void property_failed(const char* what) {
  std::fprintf(stderr, "property failed: %s\n", what);
  std::abort();
}

}  // namespace orvc::fuzz

#define ORVC_FUZZ_CHECK(condition) \
  ((condition) ? void() : ::orvc::fuzz::property_failed(#condition))
