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

enum class SafetyChecks { Run, DoneByCaller };

// With DoneByCaller the opening protection and cloud-sync checks are skipped; the re-check
// under trash_lock always runs.
std::expected<std::string, MoveFailure> move_into_trash_folder(const std::string& path,
                                                               SafetyChecks checks);

}  // namespace orvc::removal
