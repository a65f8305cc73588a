#pragma once
// The direct move with its failure kind: a safety refusal is final, anything else may be
// retried through the Trash service.
#include <expected>
#include <string>

namespace orvc::removal {

struct MoveFailure {
  bool safety_refusal = false;
  std::string message;
};

std::expected<std::string, MoveFailure> move_into_trash_folder(const std::string& path);

}  // namespace orvc::removal
