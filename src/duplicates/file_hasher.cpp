#include "duplicates/file_hasher.hpp"

#include <blake3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.hpp"
#include "util/long_path.hpp"
#include "util/work_progress.hpp"

namespace orvc::duplicates {
namespace {

// Large enough to read a whole small file for the sample stage in one call.
constexpr size_t kBufferBytes = kWholeSampleLimit;
constexpr size_t kBufferAlignment = 4096;
// How much of a file the content stage announces before reading it.
constexpr uint64_t kAnnouncedContentBytes = uint64_t{32} << 20;

// Exactly `length` bytes at `offset`; false on a read error or an early end of file.
bool read_exactly(int fd, uint8_t* into, uint64_t length, uint64_t offset) {
  while (length > 0) {
    const ssize_t got = pread(fd, into, length, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return false;
    into += got;
    length -= static_cast<uint64_t>(got);
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

}  // namespace

void FileHasher::FreeBuffer::operator()(uint8_t* p) const {
  std::free(p);
}

FileHasher::FileHasher(const std::atomic<bool>* cancel_flag) : cancel_flag_(cancel_flag) {
  void* memory = std::aligned_alloc(kBufferAlignment, kBufferBytes);
  if (!memory) throw std::bad_alloc();
  buffer_.reset(static_cast<uint8_t*>(memory));
}

size_t DigestHash::operator()(const Digest& digest) const {
  uint64_t prefix;
  std::memcpy(&prefix, digest.data(), sizeof prefix);
  return prefix;
}

std::optional<StageFile> StageFile::open(const std::string& path, uint64_t expected_size,
                                         HashStage stage) {
  // O_NONBLOCK: should a FIFO or device have taken the file's place, opening must not wait.
  // Crawled paths may be longer than one open(2) takes.
  const int fd = open_long_path(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  StageFile file(UniqueFd(fd), expected_size);
  struct stat metadata {};
  if (fstat(fd, &metadata) != 0 || !S_ISREG(metadata.st_mode) ||
      static_cast<uint64_t>(metadata.st_size) != expected_size) {
    return std::nullopt;
  }
  switch (stage) {
    case HashStage::Prefix:
      platform::advise_will_read(fd, 0, std::min(expected_size, kPrefixBytes));
      break;
    case HashStage::Sample:
      if (expected_size > kWholeSampleLimit) {
        platform::advise_will_read(fd, 0, kSampleWindowBytes);
        platform::advise_will_read(fd, expected_size / 2 - kSampleWindowBytes / 2,
                                   kSampleWindowBytes);
        platform::advise_will_read(fd, expected_size - kSampleWindowBytes, kSampleWindowBytes);
      } else {
        platform::advise_will_read(fd, 0, expected_size);
      }
      break;
    case HashStage::Content:
      platform::advise_sequential(fd);
      // Announcing a huge file whole would only push other files out of the cache before
      // they are read; past the first stretch, the sequential read-ahead takes over.
      platform::advise_will_read(fd, 0, std::min<uint64_t>(expected_size, kAnnouncedContentBytes));
      break;
  }
  return file;
}

std::optional<Digest> FileHasher::hash(const std::string& path, uint64_t expected_size,
                                       HashStage stage) {
  const auto file = StageFile::open(path, expected_size, stage);
  if (!file) return std::nullopt;
  return hash_stage(*file, stage);
}

std::optional<Digest> FileHasher::hash_stage(const StageFile& file, HashStage stage) {
  const uint64_t size = file.size();
  uint8_t* buffer = buffer_.get();

  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  // A large file takes a while: a stop is looked for before every read.
  const auto feed = [&](uint64_t length, uint64_t offset) {
    if (cancel_flag_ && cancel_flag_->load(std::memory_order_relaxed)) return false;
    if (!read_exactly(file.fd(), buffer, length, offset)) return false;
    add_seen(0, length);
    blake3_hasher_update(&hasher, buffer, length);
    return true;
  };
  const auto finish = [](blake3_hasher& h) {
    Digest digest;
    blake3_hasher_finalize(&h, digest.data(), digest.size());
    return digest;
  };

  switch (stage) {
    case HashStage::Prefix:
      if (size > 0 && !feed(std::min(size, kPrefixBytes), 0)) return std::nullopt;
      break;
    case HashStage::Sample: {
      // Within one size, a whole small file read is its own sample: its content digest serves
      // both stages, so its bytes are digested once.
      if (size <= kWholeSampleLimit) {
        if (size > 0 && !feed(size, 0)) return std::nullopt;
        return finish(hasher);
      }
      uint8_t size_le[8];
      for (int i = 0; i < 8; ++i) size_le[i] = static_cast<uint8_t>(size >> (8 * i));
      blake3_hasher_update(&hasher, size_le, sizeof size_le);
      if (!feed(kSampleWindowBytes, 0) ||
          !feed(kSampleWindowBytes, size / 2 - kSampleWindowBytes / 2) ||
          !feed(kSampleWindowBytes, size - kSampleWindowBytes)) {
        return std::nullopt;
      }
      break;
    }
    case HashStage::Content:
      for (uint64_t offset = 0; offset < size; offset += kContentChunkBytes) {
        if (!feed(std::min(kContentChunkBytes, size - offset), offset)) return std::nullopt;
      }
      break;
  }

  return finish(hasher);
}

std::optional<Digest> FileHasher::digest_comparing(const StageFile& first,
                                                   std::span<const StageFile* const> others,
                                                   std::vector<Comparison>& verdicts) {
  static_assert(2 * kContentChunkBytes <= kBufferBytes);
  uint8_t* const mine = buffer_.get();
  uint8_t* const theirs = mine + kContentChunkBytes;
  const uint64_t size = first.size();
  verdicts.assign(others.size(), Comparison::Same);
  for (size_t k = 0; k < others.size(); ++k) {
    if (!others[k]) verdicts[k] = Comparison::Dropped;
  }

  blake3_hasher hasher;
  blake3_hasher_init(&hasher);
  for (uint64_t offset = 0; offset < size; offset += kContentChunkBytes) {
    const uint64_t length = std::min(kContentChunkBytes, size - offset);
    if ((cancel_flag_ && cancel_flag_->load(std::memory_order_relaxed)) ||
        !read_exactly(first.fd(), mine, length, offset)) {
      std::ranges::replace(verdicts, Comparison::Same, Comparison::Different);
      return std::nullopt;
    }
    add_seen(0, length);
    blake3_hasher_update(&hasher, mine, length);
    for (size_t k = 0; k < others.size(); ++k) {
      if (verdicts[k] != Comparison::Same) continue;
      if (!read_exactly(others[k]->fd(), theirs, length, offset)) {
        verdicts[k] = Comparison::Dropped;
        continue;
      }
      add_seen(0, length);
      if (std::memcmp(mine, theirs, length) != 0) verdicts[k] = Comparison::Different;
    }
    if (std::ranges::find(verdicts, Comparison::Same) == verdicts.end()) return std::nullopt;
  }
  Digest digest;
  blake3_hasher_finalize(&hasher, digest.data(), digest.size());
  return digest;
}

std::string to_hex(const Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(digest.size() * 2, '0');
  for (size_t i = 0; i < digest.size(); ++i) {
    text[2 * i] = kDigits[digest[i] >> 4];
    text[2 * i + 1] = kDigits[digest[i] & 0xf];
  }
  return text;
}

}  // namespace orvc::duplicates
