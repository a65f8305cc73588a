#include "cli/stop_signals.hpp"

#include <signal.h>

#include "util/stop_request.hpp"

namespace orvc::cli {
namespace {

void on_stop_signal(int signal_number) {
  request_stop(signal_number);
}

void catch_unless_ignored(int signal_number) {
  struct sigaction current {};
  if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

void install_stop_signals() {
  catch_unless_ignored(SIGINT);
  catch_unless_ignored(SIGTERM);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

int stopped_status() {
  return 128 + stop_signal();
}

}  // namespace orvc::cli
