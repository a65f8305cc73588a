#include "removal/copy_tree.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <utility>
#include <vector>

#include "platform/platform.hpp"
#include "removal/file_ops.hpp"
#include "removal/path_names.hpp"
#include "removal/tree_walk.hpp"
#include "util/file_identity.hpp"
#include "util/lexical_path.hpp"
#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

std::unexpected<std::string> cannot_copy(std::string_view shown, std::string_view why) {
  return failure("cannot copy '" + lossy_utf8(shown) + "': " + std::string(why));
}

std::unexpected<std::string> cannot_copy_errno(std::string_view shown) {
  return cannot_copy(shown, os_error_text(errno));
}

bool is_copyable(mode_t mode) {
  return S_ISREG(mode) || S_ISDIR(mode) || S_ISLNK(mode);
}

// The owner goes with the copy where this user may give it. Where not, the copy is this user's,
// and set-user-ID and set-group-ID bits are dropped so no one gains rights through it.
Result<mode_t> keep_owner(int fd, const struct stat& source) {
  mode_t mode = source.st_mode & 07777;
  if (fchown(fd, source.st_uid, source.st_gid) == 0) return mode;
  if (errno != EPERM && errno != EINVAL) return failure(os_error_text(errno));
  return static_cast<mode_t>(mode & ~(S_ISUID | S_ISGID));
}

Status keep_mode_and_times(int fd, const struct stat& source) {
  const mode_t mode = ORVC_TRY(keep_owner(fd, source));
  if (fchmod(fd, mode) != 0) return failure(os_error_text(errno));
  const timespec times[2] = {platform::accessed_time(source), platform::modified_time(source)};
  if (futimens(fd, times) != 0) return failure(os_error_text(errno));
  return {};
}

Result<std::string> read_link(int dir_fd, const std::string& name) {
  std::string target(256, '\0');
  while (true) {
    const ssize_t n = readlinkat(dir_fd, name.c_str(), target.data(), target.size());
    if (n < 0) return failure(os_error_text(errno));
    if (static_cast<size_t>(n) < target.size()) {
      target.resize(static_cast<size_t>(n));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

struct CopyFrame {
  UniqueFd source;
  UniqueFd destination;
  CopiedEntry* node = nullptr;
  std::vector<std::string> names;
  size_t next = 0;
};

// One copy: folders are walked with an explicit stack of handles, so depth is bounded by the
// open-file limit, not by path length or the thread's stack.
class Copier {
 public:
  Copier(int dst_root_dir, std::string item) : dst_root_dir_(dst_root_dir), path_(item) {}

  Result<CopiedTree> run(int src_dir, const std::string& src_name, int dst_dir,
                         const std::string& dst_name) {
    CopiedTree root{src_name, {}, {}};
    ORVC_TRY(copy_entry(src_dir, dst_dir, src_name, dst_name, path_.text(), root));
    while (!stack_.empty()) {
      CopyFrame& top = stack_.back();
      if (top.next == top.names.size()) {
        ORVC_TRY(finish_folder(top, path_.text()));
        stack_.pop_back();
        dst_names_.pop_back();
        if (!stack_.empty()) path_.leave();
        continue;
      }
      const std::string name = top.names[top.next++];
      CopiedEntry& child = top.node->children.emplace_back(CopiedEntry{name, {}, {}});
      const int from = top.source.get();
      const int to = top.destination.get();
      const size_t depth = stack_.size();
      ORVC_TRY(copy_entry(from, to, name, name, path_.with(name), child));
      if (stack_.size() > depth) path_.enter(name);
    }
    return root;
  }

 private:
  // Copies a file or a link whole; a folder is created and pushed, its entries still to come.
  Status copy_entry(int src_dir, int dst_dir, const std::string& src_name,
                    const std::string& dst_name, const std::string& shown, CopiedEntry& node) {
    struct stat& metadata = node.metadata;
    if (fstatat(src_dir, src_name.c_str(), &metadata, AT_SYMLINK_NOFOLLOW) != 0) {
      return cannot_copy_errno(shown);
    }
    if (!is_copyable(metadata.st_mode)) {
      return cannot_copy(shown, "not a regular file, folder or symbolic link");
    }
    if (S_ISLNK(metadata.st_mode)) {
      return copy_link(src_dir, dst_dir, src_name, dst_name, shown, node);
    }
    if (S_ISREG(metadata.st_mode)) {
      auto copied = copy_file(src_dir, dst_dir, src_name, dst_name, node);
      if (!copied) return cannot_copy(shown, copied.error());
      return {};
    }
    UniqueFd source(openat(src_dir, src_name.c_str(), kFolderOpenFlags));
    if (!source || fstat(source.get(), &metadata) != 0) return cannot_copy_errno(shown);
    auto names = list_names(source.get());
    if (!names) return cannot_copy(shown, names.error());
    if (mkdirat(dst_dir, dst_name.c_str(), 0700) != 0) return cannot_copy_errno(shown);
    UniqueFd destination(openat(dst_dir, dst_name.c_str(), kFolderOpenFlags));
    if (!destination) return cannot_copy_errno(shown);
    stack_.push_back(
        CopyFrame{std::move(source), std::move(destination), &node, std::move(*names), 0});
    dst_names_.push_back(dst_name);
    return {};
  }

  // Extended attributes, owner, mode and times once the entries are in: the times would move
  // with every entry added, and a read-only folder would take none.
  static Status finish_folder(const CopyFrame& frame, const std::string& shown) {
    auto kept = platform::copy_extended_attributes(frame.source.get(), frame.destination.get());
    if (kept) kept = keep_mode_and_times(frame.destination.get(), frame.node->metadata);
    if (!kept) return cannot_copy(shown, kept.error());
    return {};
  }

  static Status copy_link(int src_dir, int dst_dir, const std::string& src_name,
                          const std::string& dst_name, const std::string& shown,
                          const CopiedEntry& node) {
    auto target = read_link(src_dir, src_name);
    if (!target) return cannot_copy(shown, target.error());
    if (symlinkat(target->c_str(), dst_dir, dst_name.c_str()) != 0) return cannot_copy_errno(shown);
    const struct stat& metadata = node.metadata;
    // A link's owner is kept where this user may set it; its mode means nothing.
    if (fchownat(dst_dir, dst_name.c_str(), metadata.st_uid, metadata.st_gid,
                 AT_SYMLINK_NOFOLLOW) != 0 &&
        errno != EPERM && errno != EINVAL) {
      return cannot_copy_errno(shown);
    }
    const timespec times[2] = {platform::accessed_time(metadata),
                               platform::modified_time(metadata)};
    if (utimensat(dst_dir, dst_name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
      return cannot_copy_errno(shown);
    }
    return {};
  }

  Status copy_file(int src_dir, int dst_dir, const std::string& src_name,
                   const std::string& dst_name, CopiedEntry& node) {
    // Non-blocking, so an entry swapped for a pipe since it was listed cannot stall the copy.
    UniqueFd in(openat(src_dir, src_name.c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat& metadata = node.metadata;
    if (!in || fstat(in.get(), &metadata) != 0) return failure(os_error_text(errno));
    if (!S_ISREG(metadata.st_mode)) return failure("not a regular file, folder or symbolic link");

    const FileIdentity key = identity_of(metadata);
    const bool linked = metadata.st_nlink > 1;
    if (linked) {
      const auto first = first_names_.find(key);
      if (first != first_names_.end() && link_again(first->second, dst_dir, dst_name)) return {};
    }
    UniqueFd out(openat(dst_dir, dst_name.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out) return failure(os_error_text(errno));
    ORVC_TRY(platform::copy_file_data(in.get(), out.get(), metadata.st_size));
    ORVC_TRY(platform::copy_extended_attributes(in.get(), out.get()));
    ORVC_TRY(keep_mode_and_times(out.get(), metadata));
    // The source goes away after the copy; the copy must be on disk first.
    if (fsync(out.get()) != 0) return failure(os_error_text(errno));
    if (close(out.release()) != 0 && errno != EINTR) return failure(os_error_text(errno));
    if (linked && !first_names_.contains(key)) {
      std::vector<std::string> names = dst_names_;
      names.push_back(dst_name);
      first_names_.emplace(key, std::move(names));
    }
    return {};
  }

  // Gives the copy of a file already copied under another name this name too. False when the
  // destination refuses (no hard links there, too many, or no way back to the first name):
  // the caller then copies the content again.
  bool link_again(const std::vector<std::string>& first, int dst_dir,
                  const std::string& dst_name) const {
    UniqueFd held;
    int folder = dst_root_dir_;
    for (size_t i = 0; i + 1 < first.size(); ++i) {
      UniqueFd next(openat(folder, first[i].c_str(), kFolderOpenFlags));
      if (!next) return false;
      held = std::move(next);
      folder = held.get();
    }
    return linkat(folder, first.back().c_str(), dst_dir, dst_name.c_str(), 0) == 0;
  }

  int dst_root_dir_;
  ShownPath path_;
  std::vector<CopyFrame> stack_;
  std::vector<std::string> dst_names_;  // from dst_root_dir_ down to the folder being copied
  std::map<FileIdentity, std::vector<std::string>> first_names_;
};

}  // namespace

Result<CopiedTree> copy_tree_at(int src_dir, const std::string& src_name, int dst_dir,
                                const std::string& dst_name, std::string_view shown) {
  return Copier(dst_dir, std::string(shown_or(shown, src_name)))
      .run(src_dir, src_name, dst_dir, dst_name);
}

Result<CopiedTree> copy_tree(const std::string& source, const std::string& destination) {
  const std::optional<std::string> src_name(last_component(source));
  const std::optional<std::string> dst_name(last_component(destination));
  if (!src_name) return cannot_copy(source, os_error_text(EINVAL));
  if (!dst_name) {
    return failure("cannot copy to '" + lossy_utf8(destination) + "': " + os_error_text(EINVAL));
  }
  const std::string src_parent = parent_of(source);
  UniqueFd src_dir(open(src_parent.c_str(), kFolderOpenFlags & ~O_NOFOLLOW));
  if (!src_dir) return cannot_copy_errno(source);
  ORVC_TRY(check_removable_tree_at(src_dir.get(), *src_name, source));
  const std::string dst_parent = parent_of(destination);
  if (!entry_exists(dst_parent)) ORVC_TRY(create_folders(dst_parent, 0777));
  UniqueFd dst_dir(open(dst_parent.c_str(), kFolderOpenFlags & ~O_NOFOLLOW));
  if (!dst_dir) {
    return cannot_copy(source,
                       "cannot open '" + lossy_utf8(dst_parent) + "': " + os_error_text(errno));
  }
  return copy_tree_at(src_dir.get(), *src_name, dst_dir.get(), *dst_name, source);
}

}  // namespace orvc::removal
