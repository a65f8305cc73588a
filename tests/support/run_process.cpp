#include "support/run_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace orvc::testing {
namespace {

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const ProcessOptions& options) {
  if (options.working_dir && chdir(options.working_dir->c_str()) != 0) _exit(126);
  std::map<std::string, std::string> env = options.env;
  env.try_emplace("PATH", std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
  // Look the program up on the child's own PATH.
  setenv("PATH", env["PATH"].c_str(), 1);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  // The child execs or exits at once: the copies are never freed.
  for (const auto& [name, value] : env) envp.push_back(strdup((name + "=" + value).c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  execvpe(args[0], args.data(), envp.data());
  _exit(127);
}

// Reads every stream to its end (a pty reports EIO once the child has gone; that ends it too).
void read_all(const std::vector<int>& fds, const std::vector<std::string*>& sinks) {
  std::vector<pollfd> polls;
  for (int fd : fds) polls.push_back({fd, POLLIN, 0});
  char buffer[65536];
  while (std::ranges::any_of(polls, [](const pollfd& p) { return p.fd >= 0; })) {
    const int ready = poll(polls.data(), polls.size(), -1);
    if (ready < 0 && errno != EINTR) return;
    for (size_t i = 0; ready > 0 && i < polls.size(); ++i) {
      if (polls[i].fd < 0 || polls[i].revents == 0) continue;
      const ssize_t n = read(polls[i].fd, buffer, sizeof buffer);
      if (n > 0)
        sinks[i]->append(buffer, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR)
        close(std::exchange(polls[i].fd, -1));  // poll skips it from now on
    }
  }
}

}  // namespace

StartedProcess start_program(const std::vector<std::string>& argv, const ProcessOptions& options) {
  StartedProcess started;
  const auto open_pair = [](int ends[2], bool terminal) {
    return terminal ? openpty(&ends[0], &ends[1], nullptr, nullptr, nullptr) : pipe(ends);
  };
  // Standard error shares a terminal on standard output.
  const bool merged = options.stdout_is_terminal;
  int out[2], err[2];
  if (open_pair(out, merged) != 0 || (!merged && open_pair(err, options.stderr_is_terminal) != 0))
    return started;
  started.pid = fork();
  if (started.pid == 0) {
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(out[1], 1);
    dup2(merged ? out[1] : err[1], 2);
    exec_child(argv, options);
  }
  close(out[1]);
  if (!merged) close(err[1]);
  started.fds = merged ? std::vector{out[0]} : std::vector{out[0], err[0]};
  return started;
}

ProcessResult finish_program(const StartedProcess& started) {
  ProcessResult result;
  if (started.pid < 0) return result;
  std::vector<std::string*> sinks = {&result.out, &result.err};
  sinks.resize(started.fds.size());
  read_all(started.fds, sinks);
  int status = 0;
  while (waitpid(started.pid, &status, 0) < 0) {
    if (errno != EINTR) return result;
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ProcessResult run_program(const std::vector<std::string>& argv, const ProcessOptions& options) {
  return finish_program(start_program(argv, options));
}

ProcessOptions orvc_options(const std::string& home,
                            const std::map<std::string, std::string>& extra_env) {
  // No programs by default: a Trash-service fallback must never reach a real desktop Trash.
  ProcessOptions options{.env = {{"HOME", home},
                                 {"XDG_DATA_HOME", home + "/.local/share"},
                                 {"NO_COLOR", "1"},
                                 {"PATH", "/nonexistent/orvc-test-no-programs"}},
                         .working_dir = home};
  for (const auto& [k, v] : extra_env) options.env[k] = v;
  return options;
}

std::vector<std::string> orvc_command(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {ORVC_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

ProcessResult run_orvc(const std::vector<std::string>& args, const std::string& home,
                       std::map<std::string, std::string> extra_env) {
  return run_program(orvc_command(args), orvc_options(home, extra_env));
}

}  // namespace orvc::testing
