#pragma once
// Which paths no cleaner may touch. Pure decisions: nothing here changes the file system.
#include <optional>
#include <string>
#include <string_view>

namespace orvc::safety {

enum class ProtectionKind {
  Root,
  SystemRoot,
  HomeOrAncestor,
  UserFolder,
  SensitivePath,
  SystemDaemonCache,
  UserProtected,
};

struct ProtectionReason {
  ProtectionKind kind;
  std::string matched;  // what matched, for diagnostics only (empty for Root and UserProtected)
};

// The safety words the removal code shows, byte for byte. {path} is the path as given.
std::string refusal_before_move(std::string_view path);
std::string refusal_inside_move(std::string_view path);
std::string all_protected_summary(size_t count);
std::string cloud_sync_refusal(std::string_view path);

// Reads HOME; may canonicalise paths and load the user's protected list. Thread-safe.
std::optional<ProtectionReason> is_protected_path(const std::string& path);

// The rule chain for an already-normalised path and home folder. No file-system access.
std::optional<ProtectionReason> classify_protected(const std::string& path,
                                                   const std::optional<std::string>& home);

}  // namespace orvc::safety
