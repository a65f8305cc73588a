#include "junk/docker.hpp"

#include "platform/spawn.hpp"

namespace orvc::junk {

bool is_docker_running() {
  const auto child = platform::run_captured({"pgrep", "-f", "com.docker.backend"});
  return child && child->exit_code == 0 && !child->standard_output.empty();
}

}  // namespace orvc::junk
