#pragma once
// Where the Trash and the cleanup history live under a (temporary) home folder.
#include <string>

namespace orvc::testing {

inline std::string trash_files_of(const std::string& home, const std::string& name = "") {
  return home + "/.local/share/Trash/files/" + name;
}
inline std::string trash_info_of(const std::string& home, const std::string& name) {
  return home + "/.local/share/Trash/info/" + name + ".trashinfo";
}
inline std::string history_of(const std::string& home, const std::string& name = "") {
  return home + "/Library/Application Support/com.orvanta.app/history/" + name;
}

}  // namespace orvc::testing
