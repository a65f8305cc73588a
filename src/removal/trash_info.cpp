#include "removal/trash_info.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "removal/file_ops.hpp"
#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

bool is_unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/';
}

}  // namespace

std::string percent_encode_path(std::string_view absolute_path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(absolute_path.size());
  for (const char c : absolute_path) {
    const auto byte = static_cast<unsigned char>(c);
    if (is_unreserved(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 15]);
    }
  }
  return out;
}

std::string trash_info_text(std::string_view absolute_path, std::time_t deletion_time) {
  std::tm local{};
  localtime_r(&deletion_time, &local);
  return fmt::format("[Trash Info]\nPath={}\nDeletionDate={:04}-{:02}-{:02}T{:02}:{:02}:{:02}\n",
                     percent_encode_path(absolute_path), local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

Result<std::optional<uint64_t>> create_trash_info(const std::string& info_path,
                                                  std::string_view text) {
  UniqueFd fd(open(info_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!fd) {
    if (errno == EEXIST) return std::nullopt;
    return failure("cannot create '" + lossy_utf8(info_path) + "': " + os_error_text(errno));
  }
  auto written = write_all(fd.get(), text);
  struct stat metadata {};
  const int stat_error = fstat(fd.get(), &metadata) == 0 ? 0 : errno;
  fd.reset();
  if (!written || stat_error != 0) {
    unlink(info_path.c_str());
    return failure("cannot write '" + lossy_utf8(info_path) +
                   "': " + (written ? os_error_text(stat_error) : written.error()));
  }
  return static_cast<uint64_t>(metadata.st_ino);
}

}  // namespace orvc::removal
