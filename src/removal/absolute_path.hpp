#pragma once
// The absolute form of a user-given path.
#include <string>

#include "util/expected.hpp"

namespace orvc::removal {

// The path joined to the working directory when relative, nothing resolved. Fails when the
// working directory cannot be read: a relative text would escape every absolute rule.
Result<std::string> lexically_absolute(const std::string& path);

}  // namespace orvc::removal
