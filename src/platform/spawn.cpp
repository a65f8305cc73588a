#include "platform/spawn.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "util/text.hpp"
#include "util/unique_fd.hpp"

extern char** environ;

namespace orvc::platform {
namespace {

struct Pipe {
  UniqueFd read_end;
  UniqueFd write_end;
};

Status make_pipe(Pipe& p) {
  int fds[2];
  if (pipe(fds) != 0) return failure(os_error_text(errno));
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  p.read_end.reset(fds[0]);
  p.write_end.reset(fds[1]);
  return {};
}

// Reads both pipes to their end without letting either fill up and stall the child.
void drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  std::array<pollfd, 2> fds = {pollfd{out_fd, POLLIN, 0}, pollfd{err_fd, POLLIN, 0}};
  std::array<std::string*, 2> sinks = {&out, &err};
  int open_count = 2;
  std::array<char, 4096> buffer{};
  while (open_count > 0) {
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer.data(), buffer.size());
      if (n > 0) {
        sinks[i]->append(buffer.data(), static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

}  // namespace

Result<ChildResult> run_captured(const std::vector<std::string>& argv) {
  Pipe out, err;
  ORVC_TRY(make_pipe(out));
  ORVC_TRY(make_pipe(err));

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.write_end.get(), 1);
  posix_spawn_file_actions_adddup2(&actions, err.write_end.get(), 2);

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // This process ignores SIGPIPE; a child gets the usual disposition back.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return failure(os_error_text(rc));

  out.write_end.reset();
  err.write_end.reset();

  ChildResult result;
  drain(out.read_end.get(), err.read_end.get(), result.standard_output, result.standard_error);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return failure(os_error_text(errno));
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace orvc::platform
