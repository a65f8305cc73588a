#include "safety/read_text.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/text.hpp"

namespace orvc::safety {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

Result<std::string> read_regular_file(const std::string& path) {
  if (path.find('\0') != std::string::npos) return failure(os_error_text(EINVAL));
  // Non-blocking open, so a FIFO in the file's place cannot stall the caller.
  const FileDescriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return failure(os_error_text(errno));
  struct stat metadata {};
  if (fstat(file.get(), &metadata) != 0) return failure(os_error_text(errno));
  if (S_ISDIR(metadata.st_mode)) return failure(os_error_text(EISDIR));
  if (!S_ISREG(metadata.st_mode)) return failure(os_error_text(EINVAL));
  std::string content;
  char buffer[16384];
  while (true) {
    const ssize_t count = read(file.get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      return failure(os_error_text(errno));
    }
    if (count == 0) break;
    content.append(buffer, static_cast<size_t>(count));
  }
  return content;
}

}  // namespace orvc::safety
