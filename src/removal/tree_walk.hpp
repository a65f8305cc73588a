#pragma once
// Shared steps of the walks that copy, check and remove an item through folder handles.
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_stream.hpp"
#include "util/expected.hpp"

namespace orvc::removal {

// The names in an open folder, without "." and ".."; the folder's own descriptor stays open
// and usable. The error is the OS's text.
Result<std::vector<std::string>> list_names(int folder_fd);

// The display path of the entry a walk is at: grows by one name on the way down and shrinks on
// the way up, so a deep walk never copies whole paths per level.
class ShownPath {
 public:
  explicit ShownPath(std::string_view root) : text_(root) {}
  void enter(std::string_view name) {
    lengths_.push_back(text_.size());
    text_ += '/';
    text_ += name;
  }
  void leave() {
    text_.resize(lengths_.back());
    lengths_.pop_back();
  }
  // `text()` with one more name, without entering it.
  std::string with(std::string_view name) const {
    std::string out = text_;
    out += '/';
    out += name;
    return out;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::vector<size_t> lengths_;
};

// `shown` when it is given, else `name`.
inline std::string_view shown_or(std::string_view shown, std::string_view name) {
  return shown.empty() ? name : shown;
}

}  // namespace orvc::removal
