#pragma once
// The home folder with its symbolic links resolved, which the protection and cloud-sync rules
// compare resolved paths against. Resolving costs a few system calls per check; a cleanup run
// checks every item two or three times, so the run pins the answer for its duration.
#include <optional>
#include <string>

namespace orvc::safety {

// canonicalize(home), or the pinned answer while a HomePin for the same home text lives.
std::optional<std::string> resolved_home(const std::string& normalised_home);

// While it lives, resolved_home reuses the answer for the HOME of the moment it was made. One
// at a time; made and dropped while no check runs on another thread.
class HomePin {
 public:
  HomePin();
  ~HomePin();
  HomePin(const HomePin&) = delete;
  HomePin& operator=(const HomePin&) = delete;

 private:
  friend std::optional<std::string> resolved_home(const std::string& normalised_home);
  std::string home_;
  std::optional<std::string> resolved_;
};

}  // namespace orvc::safety
