#pragma once
// The one message that explains every failed move of a cleanup run.
#include <string>
#include <vector>

namespace orvc::removal {

struct MoveFailureRecord {
  std::string path;
  std::string message;
};

// "Cleaned with {n} issue(s). " and then the macOS-protected part and the other part.
std::string summarise_failures(const std::vector<MoveFailureRecord>& failures);

// A run stopped before all its moves began: "Interrupted — {moved} item(s) moved to Trash
// (recoverable), {left} left alone.", then the summary of any failed moves.
std::string summarise_interruption(size_t moved, size_t left_alone,
                                   const std::vector<MoveFailureRecord>& failures);

}  // namespace orvc::removal
