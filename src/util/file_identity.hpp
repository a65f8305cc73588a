#pragma once
// Which file a name gives: the device and inode numbers of its metadata. Two names with the
// same identity are one file, whatever their paths or link counts say.
#include <sys/stat.h>

#include <compare>
#include <cstdint>

namespace orvc {

struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

inline FileIdentity identity_of(const struct stat& metadata) {
  return {static_cast<uint64_t>(metadata.st_dev), static_cast<uint64_t>(metadata.st_ino)};
}

}  // namespace orvc
