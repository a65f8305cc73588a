#pragma once
// Fixture helpers for the junk tests: quick real allocations and the usage they should measure.
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/temp_home.hpp"

namespace orvc::testing {

// A file whose `bytes` are really allocated (not sparse), without writing them.
inline void allocate_file(const std::string& path, uint64_t bytes) {
  make_dirs(path.substr(0, path.rfind('/')));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path;
  if (bytes > 0) {
    ASSERT_EQ(posix_fallocate(fd, 0, static_cast<off_t>(bytes)), 0) << path;
  }
  close(fd);
}

inline thread_local uint64_t file_usage_total = 0;

// Allocated bytes of the regular files in a tree: what the junk measure counts (folders' own
// blocks and links excluded).
inline uint64_t file_usage(const std::string& path) {
  file_usage_total = 0;
  nftw(
      path.c_str(),
      [](const char*, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_F && S_ISREG(st->st_mode)) {
          file_usage_total += static_cast<uint64_t>(st->st_blocks) * 512;
        }
        return 0;
      },
      64, FTW_PHYS);
  return file_usage_total;
}

// The report's size text: 1024 steps, one decimal ("20.0 MB").
inline std::string size_text(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 4) {
    value /= 1024.0;
    ++unit;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

}  // namespace orvc::testing
