#pragma once
// Reads one file's bytes for one hashing stage and digests them with BLAKE3. Each hashing
// thread owns one FileHasher, so its read buffer is allocated once and reused for every file.
// The bytes read are added to the work counters (util/work_progress) as they are read.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "util/unique_fd.hpp"

namespace orvc::duplicates {

enum class HashStage {
  Prefix,   // the first min(S, 4096) bytes
  Sample,   // S as 8 little-endian bytes, then three 128 KiB windows; a file of at most 384 KiB
            // whole, which is its content digest
  Content,  // the whole file, in 64 KiB reads
};

inline constexpr uint64_t kPrefixBytes = 4096;
inline constexpr uint64_t kSampleWindowBytes = 131072;
inline constexpr uint64_t kWholeSampleLimit = 3 * kSampleWindowBytes;
inline constexpr uint64_t kContentChunkBytes = 65536;

using Digest = std::array<uint8_t, 32>;

std::string to_hex(const Digest& digest);

// Digests are uniformly distributed already: eight of their bytes make a good hash.
struct DigestHash {
  size_t operator()(const Digest& digest) const;
};

// One file opened for one stage: still a regular file of the crawled size (links are not
// followed), with the bytes the stage reads announced to the system, which starts reading them
// at once. Opening several before reading any keeps several reads in flight per thread.
class StageFile {
 public:
  // Nothing when the path cannot be opened or no longer is a regular file of `expected_size`.
  static std::optional<StageFile> open(const std::string& path, uint64_t expected_size,
                                       HashStage stage);
  int fd() const { return fd_.get(); }
  uint64_t size() const { return size_; }

 private:
  StageFile(UniqueFd fd, uint64_t size) : fd_(std::move(fd)), size_(size) {}
  UniqueFd fd_;
  uint64_t size_;
};

// How a file compared with the first of its bucket, chunk by chunk.
enum class Comparison {
  Same,       // read whole and equal, byte for byte
  Different,  // a chunk differs, or the first file could not be read whole
  Dropped,    // a read came up short, or it is the first file and no other is like it
};

class FileHasher {
 public:
  // Once `cancel_flag` is set, a file being read yields nothing at its next read.
  explicit FileHasher(const std::atomic<bool>* cancel_flag = nullptr);

  // The stage's digest of an opened file, or nothing when any read comes up short.
  std::optional<Digest> hash_stage(const StageFile& file, HashStage stage);

  // The stage's digest, or nothing when the path is no longer a regular file of
  // `expected_size` bytes (links are not followed) or any read comes up short.
  std::optional<Digest> hash(const std::string& path, uint64_t expected_size, HashStage stage);

  // The content digest of `first`, read side by side with `others` one chunk at a time: every
  // chunk of each other file is compared byte for byte with the same chunk of `first`, and the
  // reading stops once none is like it. A null entry of `others` takes no part. Nothing when
  // `first` cannot be read whole or no other file is like it.
  std::optional<Digest> digest_comparing(const StageFile& first,
                                         std::span<const StageFile* const> others,
                                         std::vector<Comparison>& verdicts);

 private:
  struct FreeBuffer {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t, FreeBuffer> buffer_;
  const std::atomic<bool>* cancel_flag_;
};

}  // namespace orvc::duplicates
