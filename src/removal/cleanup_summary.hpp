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

}  // namespace orvc::removal
