#pragma once
// Where a recorded item is now, and whether the Trash entry there is still that item: on a
// Trash that keeps records, its .trashinfo must name the item's original path, and a file must
// still have the recorded size. Read-only; links are never followed.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.hpp"
#include "removal/history.hpp"

namespace orvc::removal {

// The Trashes a restore searches: the user's own first, then the Trashes of the volumes that
// hold `near_paths`.
std::vector<platform::TrashLocation> trash_search_list(
    std::span<const std::string> near_paths = {});

enum class ItemState { InTrash, Gone, Replaced };

struct RecordedItem {
  ItemState state = ItemState::Gone;
  std::string files_dir;                // the Trash folder that holds (or held) the entry
  std::string name;                     // the entry's name there
  std::optional<std::string> info_dir;  // where its record lives, on a Trash that keeps records
  std::string original;                 // absolute path it came from; empty when not known
  std::string replaced_because;         // set when Replaced
  std::string deletion_date;            // from its record, when there is one
};

// One recorded item, looked up in the Trash its manifest names (or, for older manifests, the
// user's Trash by its trashed name).
RecordedItem locate_recorded(const DeletedFile& file,
                             std::span<const platform::TrashLocation> trashes);

// Every item of every session, looked up in parallel; result[s][i] is session s's item i.
std::vector<std::vector<RecordedItem>> locate_sessions(
    std::span<const CleanupSession> sessions, std::span<const platform::TrashLocation> trashes);

// The same for a listing of runs: the first `exact_per_session` items of each session (and any
// whose recorded path is not absolute) are looked up as above; the others are judged from one
// listing of each Trash folder. Such an item is InTrash when its entry is there under its
// recorded name, a record file for it is there too (on a Trash that keeps records) and a
// regular file has its recorded size; its record is not read, so it is not told apart from an
// entry of another item that took the same name, and no deletion date is known.
std::vector<std::vector<RecordedItem>> survey_sessions(
    std::span<const CleanupSession> sessions, std::span<const platform::TrashLocation> trashes,
    size_t exact_per_session);

// The entries of Trashes that keep records, by the original path their record names, newest
// deletion first. Records whose entry is gone are left out.
using RecordIndex = std::map<std::string, std::vector<RecordedItem>>;
RecordIndex index_trash_records(std::span<const platform::TrashLocation> trashes);

// The absolute, lexically normalised form of a recorded or typed path (relative ones against
// the working folder).
std::string absolute_normalised(const std::string& path);

}  // namespace orvc::removal
