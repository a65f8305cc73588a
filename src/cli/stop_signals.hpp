#pragma once

namespace orvc::cli {

// SIGINT and SIGTERM ask the work to stop (util/stop_request) instead of ending the process at
// once: walks wind down, removals finish the moves under way and record them. Further signals
// ask again and change nothing; the default actions are never put back. SIGPIPE is ignored, so
// a closed output pipe shows as a failed write rather than ending a removal half way. A signal
// that was ignored when the program started stays ignored.
void install_stop_signals();

// The exit status of a run that was asked to stop: 128 + the signal's number (130, 143).
int stopped_status();

}  // namespace orvc::cli
