#include "safety/protection.hpp"

#include <algorithm>
#include <span>
#include <vector>

#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "safety/path_rules.hpp"
#include "safety/tables.hpp"
#include "safety/user_protected.hpp"
#include "util/text.hpp"

namespace orvc::safety {
namespace {

ProtectionReason reason(ProtectionKind kind, std::string matched = {}) {
  return ProtectionReason{kind, std::move(matched)};
}

std::string home_joined(const std::string& home, std::string_view entry) {
  return normalize_lexically(join_relative(home, entry));
}

bool name_matches(const NamePattern& pattern, const std::string& name) {
  switch (pattern.match) {
    case NameMatch::Exact:
      return name == pattern.text;
    case NameMatch::BeginsWith:
      return name.starts_with(pattern.text);
    case NameMatch::EndsWith:
      return name.ends_with(pattern.text);
    case NameMatch::Any:
      return true;
  }
  return false;
}

bool names_match(std::span<const NamePattern> patterns, const std::vector<std::string>& names) {
  if (names.size() != patterns.size()) return false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!name_matches(patterns[i], names[i])) return false;
  }
  return true;
}

bool in_messaging_media(const std::string& path, const std::string& home) {
  if (!path_starts_with_ci(path, home)) return false;
  const size_t home_count = path_components(home).size();
  const std::vector<PathComponent> parts = path_components(path);
  std::vector<std::string> names;
  for (size_t i = home_count; i < parts.size(); ++i) {
    if (parts[i].kind == ComponentKind::Normal) names.push_back(lossy_utf8(parts[i].bytes));
  }
  return names_match(WHATSAPP_MEDIA_ITEM, names) || names_match(TELEGRAM_POSTBOX_MEDIA, names);
}

bool is_exactly_root(const std::string& path) {
  const std::vector<PathComponent> parts = path_components(path);
  return parts.size() == 1 && parts.front().kind == ComponentKind::Root;
}

std::optional<ProtectionReason> classify_home_rules(const std::string& path,
                                                    const std::string& home) {
  if (path_equals_ci(path, home) || path_starts_with_ci(home, path) ||
      path_equals_ci(path, home_joined(home, "Library"))) {
    return reason(ProtectionKind::HomeOrAncestor, lossy_utf8(path));
  }
  for (std::string_view entry : HOME_TOP_FOLDERS) {
    if (path_equals_ci(path, home_joined(home, entry))) {
      return reason(ProtectionKind::UserFolder, lossy_utf8(join_relative(home, entry)));
    }
  }
  const bool messaging_media = in_messaging_media(path, home);
  const std::string group_containers = home_joined(home, GROUP_CONTAINERS);
  for (std::string_view entry : SENSITIVE_HOME_PATHS) {
    const std::string sensitive = home_joined(home, entry);
    if (path_starts_with_ci(sensitive, path)) {
      return reason(ProtectionKind::SensitivePath, lossy_utf8(path));
    }
    if (path_starts_with_ci(path, sensitive)) {
      if (messaging_media && path_equals_ci(sensitive, group_containers)) continue;
      return reason(ProtectionKind::SensitivePath, lossy_utf8(join_relative(home, entry)));
    }
  }
  return std::nullopt;
}

std::optional<ProtectionReason> classify_system_prefixes(const std::string& path) {
  const auto check = [&](std::string_view entry) {
    const std::string prefix(entry);
    return path_starts_with_ci(path, prefix) || path_starts_with_ci(prefix, path);
  };
  for (std::string_view entry : SYSTEM_PREFIXES) {
    if (check(entry)) return reason(ProtectionKind::SensitivePath, std::string(entry));
  }
  for (std::string_view entry : platform::extra_system_prefixes()) {
    if (check(entry)) return reason(ProtectionKind::SensitivePath, std::string(entry));
  }
  return std::nullopt;
}

std::optional<ProtectionReason> classify_daemon_caches(const std::string& path) {
  for (const PathComponent& part : path_components(path)) {
    if (part.kind != ComponentKind::Normal) continue;
    const std::string written = lossy_utf8(part.bytes);
    const std::string lowered = ascii_lower(written);
    const bool listed =
        std::ranges::find(SYSTEM_DAEMON_CACHE_NAMES, lowered) != SYSTEM_DAEMON_CACHE_NAMES.end();
    if (listed || lowered.starts_with(SAFARI_CACHE_PREFIX)) {
      return reason(ProtectionKind::SystemDaemonCache, written);
    }
  }
  return std::nullopt;
}

// A home folder without a single name (empty, "/", "/..") would put every path "under home" and
// switch the system prefixes off, so it counts as no home folder at all.
std::optional<std::string> usable_home(std::optional<std::string> home) {
  if (!home) return std::nullopt;
  for (const PathComponent& part : path_components(*home)) {
    if (part.kind == ComponentKind::Normal) return home;
  }
  return std::nullopt;
}

}  // namespace

std::optional<ProtectionReason> classify_protected(const std::string& path,
                                                   const std::optional<std::string>& home) {
  if (path.empty() || is_exactly_root(path)) return reason(ProtectionKind::Root);
  for (std::string_view entry : SYSTEM_ROOTS) {
    if (path_equals_ci(path, std::string(entry))) {
      return reason(ProtectionKind::SystemRoot, std::string(entry));
    }
  }
  for (std::string_view entry : platform::extra_system_roots()) {
    if (path_equals_ci(path, std::string(entry))) {
      return reason(ProtectionKind::SystemRoot, std::string(entry));
    }
  }
  const bool under_home = home && path_starts_with_ci(path, *home);
  if (home) {
    if (auto found = classify_home_rules(path, *home)) return found;
  }
  if (!under_home) {
    if (auto found = classify_system_prefixes(path)) return found;
  }
  return classify_daemon_caches(path);
}

std::optional<ProtectionReason> is_protected_path(const std::string& path) {
  const std::string lexical = normalize_lexically(path);
  std::optional<std::string> home;
  if (auto value = home_env()) home = normalize_lexically(*value);
  home = usable_home(home);

  if (auto found = classify_protected(lexical, home)) return found;

  const std::optional<std::string> resolved = resolve_existing_prefix(lexical);
  if (!resolved) {
    if (is_user_protected(lexical)) return reason(ProtectionKind::UserProtected);
    return std::nullopt;
  }
  std::optional<std::string> resolved_home;
  if (home) resolved_home = usable_home(canonicalize(*home).value_or(*home));
  if (auto found = classify_protected(*resolved, resolved_home)) return found;
  if (is_user_protected(*resolved) || is_user_protected(lexical)) {
    return reason(ProtectionKind::UserProtected);
  }
  return std::nullopt;
}

}  // namespace orvc::safety
