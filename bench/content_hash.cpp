// Prints the content-stage digest of each file, hashed on this one thread, like `b3sum`.
#include <sys/stat.h>

#include <cstdio>

#include "duplicates/file_hasher.hpp"

int main(int argc, char** argv) {
  orvc::duplicates::FileHasher hasher;
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    struct stat metadata {};
    if (stat(argv[i], &metadata) != 0) {
      std::perror(argv[i]);
      status = 1;
      continue;
    }
    const auto digest = hasher.hash(argv[i], static_cast<uint64_t>(metadata.st_size),
                                    orvc::duplicates::HashStage::Content);
    if (!digest) {
      std::fprintf(stderr, "%s: cannot read\n", argv[i]);
      status = 1;
      continue;
    }
    std::printf("%s  %s\n", orvc::duplicates::to_hex(*digest).c_str(), argv[i]);
  }
  return status;
}
