#include "safety/protection.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "platform/home.hpp"
#include "platform/platform.hpp"
#include "safety/path_rules.hpp"
#include "safety/resolved_home.hpp"
#include "safety/tables.hpp"
#include "safety/user_protected.hpp"
#include "util/text.hpp"

namespace orvc::safety {
namespace {

ProtectionReason reason(ProtectionKind kind, std::string matched = {}) {
  return ProtectionReason{kind, std::move(matched)};
}

// A table entry joined to the home folder: the split normalised form the rules compare against
// and the joined text a reason reports.
struct HomeEntry {
  SplitPath normalised;
  std::string joined;
};

// Everything the home rules derive from one home folder text. Built once per thread and home,
// because every path checked would otherwise rebuild some sixty joined paths.
struct HomeRules {
  SplitPath home;
  SplitPath library;
  std::vector<HomeEntry> top_folders;
  std::vector<HomeEntry> sensitive;
  size_t group_containers = 0;  // index into `sensitive`
};

HomeEntry home_entry(const std::string& home, std::string_view entry) {
  std::string joined = join_relative(home, entry);
  return {SplitPath(normalize_lexically(joined)), std::move(joined)};
}

HomeRules build_home_rules(const std::string& home) {
  HomeRules rules{SplitPath(home), home_entry(home, "Library").normalised, {}, {}, 0};
  for (std::string_view entry : HOME_TOP_FOLDERS) {
    rules.top_folders.push_back(home_entry(home, entry));
  }
  for (std::string_view entry : SENSITIVE_HOME_PATHS) {
    if (entry == kGroupContainers) rules.group_containers = rules.sensitive.size();
    rules.sensitive.push_back(home_entry(home, entry));
  }
  return rules;
}

const HomeRules& home_rules(const std::string& home) {
  // The lexical and the resolved home alternate, so two entries are kept.
  thread_local std::array<std::optional<HomeRules>, 2> cache;
  thread_local size_t next_slot = 0;
  for (const auto& entry : cache) {
    if (entry && entry->home.text() == home) return *entry;
  }
  auto& slot = cache[next_slot];
  next_slot = (next_slot + 1) % cache.size();
  slot = build_home_rules(home);
  return *slot;
}

struct SystemTables {
  std::vector<SplitPath> roots;
  std::vector<SplitPath> prefixes;
};

const SystemTables& system_tables() {
  static const SystemTables tables = [] {
    SystemTables built;
    for (std::string_view entry : SYSTEM_ROOTS) built.roots.emplace_back(std::string(entry));
    for (std::string_view entry : platform::extra_system_roots()) {
      built.roots.emplace_back(std::string(entry));
    }
    for (std::string_view entry : SYSTEM_PREFIXES) built.prefixes.emplace_back(std::string(entry));
    for (std::string_view entry : platform::extra_system_prefixes()) {
      built.prefixes.emplace_back(std::string(entry));
    }
    return built;
  }();
  return tables;
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

// For a path under home: the names after the home folder's, against the two media places.
bool in_messaging_media(const SplitPath& path, const HomeRules& rules) {
  std::vector<std::string> names;
  for (size_t i = rules.home.size(); i < path.size(); ++i) {
    if (path.kind(i) == ComponentKind::Normal) names.push_back(lossy_utf8(path.bytes(i)));
  }
  return names_match(kWhatsappMediaItem, names) || names_match(kTelegramPostboxMedia, names);
}

std::optional<ProtectionReason> classify_home_rules(const SplitPath& path, const HomeRules& rules,
                                                    bool under_home) {
  if (equals_ci(path, rules.home) || starts_with_ci(rules.home, path) ||
      equals_ci(path, rules.library)) {
    return reason(ProtectionKind::HomeOrAncestor, lossy_utf8(path.text()));
  }
  // Every entry lies under home: a path outside it can neither equal, hold nor lie in one.
  if (!under_home) return std::nullopt;
  for (const HomeEntry& entry : rules.top_folders) {
    if (equals_ci(path, entry.normalised)) {
      return reason(ProtectionKind::UserFolder, lossy_utf8(entry.joined));
    }
  }
  for (size_t i = 0; i < rules.sensitive.size(); ++i) {
    const HomeEntry& entry = rules.sensitive[i];
    if (starts_with_ci(entry.normalised, path)) {
      return reason(ProtectionKind::SensitivePath, lossy_utf8(path.text()));
    }
    if (starts_with_ci(path, entry.normalised)) {
      if (i == rules.group_containers && in_messaging_media(path, rules)) continue;
      return reason(ProtectionKind::SensitivePath, lossy_utf8(entry.joined));
    }
  }
  return std::nullopt;
}

std::optional<ProtectionReason> classify_system_prefixes(const SplitPath& path) {
  for (const SplitPath& prefix : system_tables().prefixes) {
    if (starts_with_ci(path, prefix) || starts_with_ci(prefix, path)) {
      return reason(ProtectionKind::SensitivePath, prefix.text());
    }
  }
  return std::nullopt;
}

// The table names are ASCII, so comparing the raw bytes gives the same answer as comparing the
// lossy text: a replaced byte never equals an ASCII letter.
std::optional<ProtectionReason> classify_daemon_caches(const SplitPath& path) {
  for (size_t i = 0; i < path.size(); ++i) {
    if (path.kind(i) != ComponentKind::Normal) continue;
    const std::string_view name = path.bytes(i);
    const bool listed = std::ranges::any_of(
        SYSTEM_DAEMON_CACHE_NAMES,
        [&](std::string_view listed_name) { return equals_ascii_ci(name, listed_name); });
    if (listed || starts_with_ascii_ci(name, kSafariCachePrefix)) {
      return reason(ProtectionKind::SystemDaemonCache, lossy_utf8(name));
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

std::optional<ProtectionReason> classify_protected(const std::string& path_text,
                                                   const std::optional<std::string>& home) {
  const SplitPath path(path_text);
  const bool root = path.size() == 1 && path.kind(0) == ComponentKind::Root;
  if (path_text.empty() || root) return reason(ProtectionKind::Root);
  for (const SplitPath& entry : system_tables().roots) {
    if (equals_ci(path, entry)) return reason(ProtectionKind::SystemRoot, entry.text());
  }
  bool under_home = false;
  if (home) {
    const HomeRules& rules = home_rules(*home);
    under_home = starts_with_ci(path, rules.home);
    if (auto found = classify_home_rules(path, rules, under_home)) return found;
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
  std::optional<std::string> canonical_home;
  if (home) canonical_home = usable_home(safety::resolved_home(*home).value_or(*home));
  // Without links on either side the rules would only repeat the answer above.
  const bool same_answer = *resolved == lexical && canonical_home == home;
  if (!same_answer) {
    if (auto found = classify_protected(*resolved, canonical_home)) return found;
  }
  if (is_user_protected(*resolved) || is_user_protected(lexical)) {
    return reason(ProtectionKind::UserProtected);
  }
  return std::nullopt;
}

}  // namespace orvc::safety
