#pragma once
// Puts one item back from the Trash. Never replaces anything: an entry at the destination keeps
// the item in the Trash. The destination's folder is reached from "/" one component at a time
// without following a link (missing folders are created, as the umask allows); a link on the
// way, or a destination that resolves into a protected location, refuses the item. Across file
// systems the item is copied to a hidden partial name beside its destination, renamed into
// place, and only then removed from the Trash, so at any moment it is whole in one of the two.
#include <map>
#include <string>

#include "removal/trash_lookup.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {

enum class RestoreMode { Apply, DryRun };

// Replaced: the Trash entry is no longer the item that was removed, and is left alone.
enum class RestoreVerdict { Restored, WouldRestore, Exists, Replaced, Refused, Failed };

struct RestoreStep {
  RestoreVerdict verdict = RestoreVerdict::Failed;
  std::string message;  // for anything but Restored and WouldRestore; names the path
};

// The name a copy across file systems has while it is being made.
std::string partial_name(const std::string& name);

class RestoreMover {
 public:
  explicit RestoreMover(RestoreMode mode) : mode_(mode) {}
  RestoreMover(const RestoreMover&) = delete;
  RestoreMover& operator=(const RestoreMover&) = delete;

  // `item` is in the Trash; `destination` is absolute and lexically normal.
  RestoreStep restore(const RecordedItem& item, const std::string& destination);

 private:
  Result<int> trash_folder(const std::string& path);

  RestoreMode mode_;
  std::map<std::string, UniqueFd> folders_;  // destination folders, opened once per run; none
                                             // when a dry run found it missing
  std::map<std::string, UniqueFd> trash_folders_;
};

}  // namespace orvc::removal
