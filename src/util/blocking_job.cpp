#include "util/blocking_job.hpp"

#include <pthread.h>

#include <cstring>

namespace orvc {
namespace {

constexpr size_t kJobStackBytes = size_t{512} << 20;  // address space only; pages come on use

void* trampoline(void* argument) {
  (*static_cast<const std::function<void()>*>(argument))();
  return nullptr;
}

}  // namespace

Status run_on_job_thread(const std::function<void()>& body) {
  // A thread of its own rather than a pool thread: a pool cannot give one job this stack, and
  // the job blocks on the file system for its whole life.
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kJobStackBytes);
  pthread_t thread;
  const int rc =
      pthread_create(&thread, &attributes, trampoline, const_cast<std::function<void()>*>(&body));
  pthread_attr_destroy(&attributes);
  if (rc != 0) return failure(std::string("cannot start a job thread: ") + std::strerror(rc));
  pthread_join(thread, nullptr);
  return {};
}

}  // namespace orvc
