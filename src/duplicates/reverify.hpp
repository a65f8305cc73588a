#pragma once
// The check made just before a duplicate copy is moved: the copy and its group's kept copy must
// still be the files the scan compared, with the same content. Only reads.
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "duplicates/duplicate_group.hpp"

namespace orvc::duplicates {

enum class Recheck {
  Same,         // both still as scanned, contents identical
  CopyChanged,  // the copy is gone, replaced, resized, touched or no longer identical
  KeptChanged,  // the same of the kept copy: none of the group's copies may go
};

// Judges copies of the groups it was made with (which must outlive it). A file is as scanned
// when its name, not followed if a link, still gives the device, inode, size and modification
// second the crawl saw, and its whole content still hashes to the group's digest. Thread-safe:
// a group's kept copy is read once, on the first call for that group, and only its metadata is
// looked at again on later calls.
class Reverifier {
 public:
  explicit Reverifier(const std::vector<DuplicateGroup>& groups);

  Recheck recheck(size_t group, size_t duplicate);

 private:
  const std::vector<DuplicateGroup>& groups_;
  std::unique_ptr<std::once_flag[]> kept_read_;
  std::unique_ptr<bool[]> kept_same_;
};

}  // namespace orvc::duplicates
