#pragma once
// Starts orvc in the background (output to the null device) and kills it with SIGKILL at a chosen
// moment, for the "killed at any moment loses nothing" checks; and the device of a path.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orvc::testing {

inline dev_t device_of(const std::string& path) {
  struct stat metadata {};
  return stat(path.c_str(), &metadata) == 0 ? metadata.st_dev : 0;
}

// Starts orvc with HOME at `home` and PATH at its empty "no-bin" folder.
inline pid_t start_orvc(const std::vector<std::string>& args, const std::string& home) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    const std::string home_var = "HOME=" + home;
    const std::string data_var = "XDG_DATA_HOME=" + home + "/.local/share";
    const std::string path_var = "PATH=" + home + "/no-bin";
    std::vector<char*> argv = {const_cast<char*>(ORVC_BINARY)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    char* envp[] = {const_cast<char*>(home_var.c_str()), const_cast<char*>(data_var.c_str()),
                    const_cast<char*>(path_var.c_str()), nullptr};
    execve(ORVC_BINARY, argv.data(), envp);
    _exit(127);
  }
  return pid;
}

// Kills `pid` as soon as `ready` holds (or when it ends first).
inline void kill_when(pid_t pid, const std::function<bool()>& ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!ready() && std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

}  // namespace orvc::testing
