#pragma once

namespace orvc::junk {

// Whether Docker Desktop's backend runs: `pgrep -f com.docker.backend` exits 0 and prints
// something. A pgrep that is missing or fails means no.
bool is_docker_running();

}  // namespace orvc::junk
