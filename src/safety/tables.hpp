#pragma once
// The fixed tables of the safety rules. Order matters only for which reason is reported first.
#include <array>
#include <string_view>

namespace orvc::safety {

// Protected only when a path equals the entry.
inline constexpr std::array<std::string_view, 8> SYSTEM_ROOTS = {
    "/Applications", "/Library", "/Users", "/private", "/var", "/opt", "/Volumes", "/tmp",
};

// Relative to home; protected only when a path equals home joined with the entry.
inline constexpr std::array<std::string_view, 22> HOME_TOP_FOLDERS = {
    "Desktop",
    "Documents",
    "Downloads",
    "Pictures",
    "Movies",
    "Music",
    "Applications",
    "Public",
    "Library/Mobile Documents",
    "Library/Application Support",
    "Library/Caches",
    "Library/Containers",
    "Library/Preferences",
    ".cargo",
    ".gradle",
    ".rustup",
    ".m2",
    ".android",
    "go",
    "Library/Caches/JetBrains",
    "Library/Application Support/Code/User",
    "Library/Application Support/Code - Insiders/User",
};

// Relative to home: this application's own folder, which holds the user's protected list and
// the cleanup history.
inline constexpr std::string_view kAppDataFolder = "Library/Application Support/com.orvanta.app";

// Relative to home; protected with everything inside and every folder above.
inline constexpr std::array<std::string_view, 33> SENSITIVE_HOME_PATHS = {
    "Library/Keychains",
    "Library/Group Containers",
    "Library/CoreFollowUp",
    "Library/IdentityServices",
    "Library/Accounts",
    "Library/Autosave Information",
    "Library/Cookies",
    ".ssh",
    ".gnupg",
    ".cargo/bin",
    ".cargo/config",
    ".cargo/config.toml",
    ".cargo/credentials",
    ".cargo/credentials.toml",
    ".rustup/toolchains",
    ".gradle/gradle.properties",
    ".gradle/init.d",
    ".gradle/wrapper",
    ".m2/settings.xml",
    ".m2/settings-security.xml",
    ".android/debug.keystore",
    ".android/adbkey",
    ".android/adbkey.pub",
    "go/bin",
    "go/src",
    "Library/Application Support/Code/User/settings.json",
    "Library/Application Support/Code/User/keybindings.json",
    "Library/Application Support/Code/User/snippets",
    "Library/Application Support/Code/User/profiles",
    "Library/Application Support/Code - Insiders/User/settings.json",
    "Library/Application Support/Code - Insiders/User/keybindings.json",
    "Library/Application Support/Code - Insiders/User/snippets",
    kAppDataFolder,
};

// The entry of SENSITIVE_HOME_PATHS that the messaging-media exception opens up.
inline constexpr std::string_view kGroupContainers = SENSITIVE_HOME_PATHS[1];

// Absolute; protected with everything inside and every folder above. Never consulted for a path
// under the home folder.
inline constexpr std::array<std::string_view, 14> SYSTEM_PREFIXES = {
    "/System",
    "/Library/Apple",
    "/private/var/db",
    "/private/var/folders",
    "/usr",
    "/bin",
    "/sbin",
    "/cores",
    "/.vol",
    "/dev",
    "/Volumes/Recovery",
    "/etc",
    "/private/etc",
    "/Library/Keychains",
};

// Matched against every name in a path after ASCII lower-casing.
inline constexpr std::array<std::string_view, 27> SYSTEM_DAEMON_CACHE_NAMES = {
    "com.apple.passd",
    "com.apple.campo",
    "com.apple.proactive.eventtracker",
    "com.apple.chrono",
    "com.apple.appstoreagent",
    "familycircled",
    "com.apple.homekit",
    "com.apple.homed",
    "cloudkit",
    "com.apple.cloudkit",
    "com.apple.safari",
    "com.apple.safari.safebrowsing",
    "com.apple.containermanagerd",
    "com.apple.ap.adprivacyd",
    "com.apple.icloud.searchpartyd",
    "com.apple.siri",
    "com.apple.assistant",
    "com.apple.assistantd",
    "com.apple.parsecd",
    "com.apple.knowledge-agent",
    "com.apple.duetexpertd",
    "com.apple.coreduetd",
    "com.apple.suggestd",
    "com.apple.routined",
    "com.apple.chronod",
    "com.apple.tipsd",
    "com.apple.familycircled",
};
inline constexpr std::string_view kSafariCachePrefix = "com.apple.safari.";

// Messaging-media exception: the names of a path that follow the home folder's, compared
// exactly. Two places inside Group Containers that chat apps fill with re-downloadable media.
enum class NameMatch { Exact, BeginsWith, EndsWith, Any };
struct NamePattern {
  NameMatch match;
  std::string_view text;
};

// An item directly inside WhatsApp's Message/Media folder.
inline constexpr std::array<NamePattern, 6> kWhatsappMediaItem = {{
    {NameMatch::Exact, "Library"},
    {NameMatch::Exact, "Group Containers"},
    {NameMatch::Exact, "group.net.whatsapp.WhatsApp.shared"},
    {NameMatch::Exact, "Message"},
    {NameMatch::Exact, "Media"},
    {NameMatch::Any, ""},
}};

// Telegram's postbox media folder itself.
inline constexpr std::array<NamePattern, 7> kTelegramPostboxMedia = {{
    {NameMatch::Exact, "Library"},
    {NameMatch::Exact, "Group Containers"},
    {NameMatch::EndsWith, ".ru.keepcoder.Telegram"},
    {NameMatch::Exact, "appstore"},
    {NameMatch::BeginsWith, "account-"},
    {NameMatch::Exact, "postbox"},
    {NameMatch::Exact, "media"},
}};

// Cloud-sync roots directly inside the home folder, compared after ASCII lower-casing.
inline constexpr std::array<std::string_view, 12> CLOUD_FOLDER_NAMES = {
    "dropbox",  "pcloud",    "box",         "mega",         "onedrive",     "box sync",
    "megasync", "nextcloud", "pclouddrive", "google drive", "pcloud drive", "proton drive",
};
inline constexpr std::array<std::string_view, 3> kCloudFolderNamePrefixes = {
    "dropbox (",
    "onedrive - ",
    "onedrive-",
};

inline constexpr std::string_view kCloudStorageFolder = "Library/CloudStorage";
inline constexpr std::string_view kVolumesFolder = "Volumes";
inline constexpr std::string_view kGoogleDriveVolumePrefix = "googledrive";
inline constexpr std::string_view kDropboxCacheMarker = ".dropbox.cache";
inline constexpr std::string_view kSyncRootMarkerFile = ".849C9593-D756-4E56-8D6E-42412F2A707B";
inline constexpr std::string_view kDropboxInfoFile = ".dropbox/info.json";

}  // namespace orvc::safety
