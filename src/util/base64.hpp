#pragma once
#include <string>
#include <string_view>

namespace orvc {

// Standard base64 (RFC 4648, "+/" alphabet, "=" padding) of arbitrary bytes.
std::string base64_encode(std::string_view bytes);

}  // namespace orvc
