#pragma once
#include <dirent.h>

#include <memory>

namespace orvc::removal {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

}  // namespace orvc::removal
