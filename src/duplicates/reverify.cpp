#include "duplicates/reverify.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include "duplicates/file_hasher.hpp"
#include "util/file_identity.hpp"
#include "util/long_path.hpp"
#include "util/unique_fd.hpp"

namespace orvc::duplicates {
namespace {

bool as_scanned(const struct stat& metadata, const DuplicateCandidate& file, uint64_t size) {
  // Without the identity the crawl saw, nothing proves the name still gives the same file.
  return file.identity.links != 0 && S_ISREG(metadata.st_mode) &&
         identity_of(metadata) == file.identity.file &&
         static_cast<uint64_t>(metadata.st_size) == size &&
         scan::modified_seconds(metadata) == file.modified_secs;
}

bool metadata_as_scanned(const DuplicateCandidate& file, uint64_t size) {
  const UniqueFd fd(open_long_path(file.path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat metadata {};
  return fd && fstat(fd.get(), &metadata) == 0 && as_scanned(metadata, file, size);
}

bool content_as_scanned(const DuplicateCandidate& file, const DuplicateGroup& group) {
  const auto opened = StageFile::open(file.path, group.size, HashStage::Content);
  struct stat metadata {};
  if (!opened || fstat(opened->fd(), &metadata) != 0 || !as_scanned(metadata, file, group.size)) {
    return false;
  }
  FileHasher hasher;
  const auto digest = hasher.hash_stage(*opened, HashStage::Content);
  // The group's hash is the digest of its whole content, whichever stage decided it.
  return digest && to_hex(*digest) == group.hash;
}

}  // namespace

Reverifier::Reverifier(const std::vector<DuplicateGroup>& groups)
    : groups_(groups),
      kept_read_(std::make_unique<std::once_flag[]>(groups.size())),
      kept_same_(std::make_unique<bool[]>(groups.size())) {}

Recheck Reverifier::recheck(size_t group_index, size_t duplicate) {
  const DuplicateGroup& group = groups_[group_index];
  std::call_once(kept_read_[group_index],
                 [&] { kept_same_[group_index] = content_as_scanned(group.keep, group); });
  if (!kept_same_[group_index] || !metadata_as_scanned(group.keep, group.size)) {
    return Recheck::KeptChanged;
  }
  if (!content_as_scanned(group.duplicates[duplicate], group)) return Recheck::CopyChanged;
  return Recheck::Same;
}

}  // namespace orvc::duplicates
