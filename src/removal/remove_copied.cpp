// Removing a source once its copy is safe, and removing a whole tree. Both walk with an explicit
// stack of folder handles, so neither path length nor depth stops them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/platform.hpp"
#include "removal/copy_tree.hpp"
#include "removal/path_names.hpp"
#include "removal/tree_walk.hpp"
#include "util/lexical_path.hpp"
#include "util/text.hpp"
#include "util/unique_fd.hpp"

namespace orvc::removal {
namespace {

std::unexpected<std::string> cannot_remove(std::string_view shown, int error) {
  return failure("cannot remove '" + lossy_utf8(shown) + "': " + os_error_text(error));
}

bool same_time(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool same_object(const struct stat& now, const struct stat& then) {
  return now.st_dev == then.st_dev && now.st_ino == then.st_ino &&
         (now.st_mode & S_IFMT) == (then.st_mode & S_IFMT);
}

// What the user's data is: the object, its size and its modification time. The status-change
// time and the link count are left out: removing one name of a file with several moves both.
bool unchanged(const struct stat& now, const struct stat& then) {
  return same_object(now, then) && now.st_size == then.st_size &&
         same_time(platform::modified_time(now), platform::modified_time(then));
}

class CopiedRemover {
 public:
  explicit CopiedRemover(std::string item) : path_(std::move(item)) {}

  // True when something stayed because it changed or is new.
  Result<bool> run(int src_dir, const std::string& src_name, const CopiedEntry& copied) {
    ORVC_TRY(visit(src_dir, src_name, copied, path_.text()));
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.next == top.node->children.size()) {
        const std::string* name = top.name;
        stack_.pop_back();
        const int parent = stack_.empty() ? src_dir : stack_.back().fd.get();
        if (unlinkat(parent, name->c_str(), AT_REMOVEDIR) != 0) {
          if (errno != ENOTEMPTY && errno != EEXIST) return cannot_remove(path_.text(), errno);
          left_ = true;
        }
        if (!stack_.empty()) path_.leave();
        continue;
      }
      const CopiedEntry& child = top.node->children[top.next++];
      const int folder = top.fd.get();
      const size_t depth = stack_.size();
      ORVC_TRY(visit(folder, child.name, child, path_.with(child.name)));
      if (stack_.size() > depth) path_.enter(child.name);
    }
    return left_;
  }

 private:
  struct Frame {
    UniqueFd fd;
    const std::string* name = nullptr;
    const CopiedEntry* node = nullptr;
    size_t next = 0;
  };

  // Removes an unchanged file or link; an unchanged folder is opened and pushed.
  Status visit(int dir_fd, const std::string& entry_name, const CopiedEntry& node,
               const std::string& shown) {
    const char* name = entry_name.c_str();
    struct stat now {};
    if (fstatat(dir_fd, name, &now, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return {};  // gone already: nothing to lose
      return cannot_remove(shown, errno);
    }
    if (!S_ISDIR(node.metadata.st_mode)) {
      if (!unchanged(now, node.metadata)) {
        left_ = true;
        return {};
      }
      if (unlinkat(dir_fd, name, 0) != 0 && errno != ENOENT) return cannot_remove(shown, errno);
      return {};
    }
    if (!same_object(now, node.metadata)) {
      left_ = true;
      return {};
    }
    UniqueFd fd(openat(dir_fd, name, kFolderOpenFlags));
    if (!fd || fstat(fd.get(), &now) != 0) return cannot_remove(shown, errno);
    if (!same_object(now, node.metadata)) {
      left_ = true;
      return {};
    }
    stack_.push_back(Frame{std::move(fd), &entry_name, &node, 0});
    return {};
  }

  ShownPath path_;
  std::vector<Frame> stack_;
  bool left_ = false;
};

struct TreeFrame {
  UniqueFd fd;
  std::string name;
  std::vector<std::string> names;
  size_t next = 0;
};

// Removes a non-folder at once; opens a folder and pushes it with its names.
Status remove_or_push(int dir_fd, const std::string& name, const std::string& shown,
                      std::vector<TreeFrame>& stack) {
  UniqueFd fd(openat(dir_fd, name.c_str(), kFolderOpenFlags));
  if (!fd) {
    if (errno != ENOTDIR && errno != ELOOP) return cannot_remove(shown, errno);
    if (unlinkat(dir_fd, name.c_str(), 0) != 0) return cannot_remove(shown, errno);
    return {};
  }
  // A copied read-only folder keeps its entries until its owner opens it up again.
  struct stat metadata {};
  if (faccessat(fd.get(), ".", W_OK | X_OK, AT_EACCESS) != 0 && errno == EACCES &&
      fstat(fd.get(), &metadata) == 0 && metadata.st_uid == geteuid()) {
    if (fchmod(fd.get(), (metadata.st_mode & 07777) | S_IRWXU) != 0) {
      return cannot_remove(shown, errno);
    }
  }
  auto names = list_names(fd.get());
  if (!names) return failure("cannot remove '" + lossy_utf8(shown) + "': " + names.error());
  stack.push_back(TreeFrame{std::move(fd), name, std::move(*names), 0});
  return {};
}

}  // namespace

Status remove_copied_at(int src_dir, const std::string& src_name, const CopiedTree& copied,
                        std::string_view shown) {
  const std::string item(shown_or(shown, src_name));
  if (src_name.empty()) return cannot_remove(item, EINVAL);
  const bool left = ORVC_TRY(CopiedRemover(item).run(src_dir, src_name, copied));
  if (left) {
    return failure("'" + lossy_utf8(item) +
                   "' changed while it was copied; what changed was left in place");
  }
  return {};
}

Status remove_copied(const std::string& path, const CopiedTree& copied) {
  if (copied.name.empty()) return cannot_remove(path, EINVAL);
  UniqueFd parent(open(parent_of(path).c_str(), kFolderOpenFlags & ~O_NOFOLLOW));
  if (!parent) return cannot_remove(path, errno);
  return remove_copied_at(parent.get(), copied.name, copied, path);
}

Status remove_tree_at(int dir_fd, const std::string& name, std::string_view shown) {
  ShownPath path{shown_or(shown, name)};
  std::vector<TreeFrame> stack;
  ORVC_TRY(remove_or_push(dir_fd, name, path.text(), stack));
  while (!stack.empty()) {
    TreeFrame& top = stack.back();
    if (top.next == top.names.size()) {
      const std::string done = std::move(top.name);
      stack.pop_back();
      const int parent = stack.empty() ? dir_fd : stack.back().fd.get();
      if (unlinkat(parent, done.c_str(), AT_REMOVEDIR) != 0) {
        return cannot_remove(path.text(), errno);
      }
      if (!stack.empty()) path.leave();
      continue;
    }
    const std::string child = top.names[top.next++];
    const int folder = top.fd.get();
    const size_t depth = stack.size();
    ORVC_TRY(remove_or_push(folder, child, path.with(child), stack));
    if (stack.size() > depth) path.enter(child);
  }
  return {};
}

Status remove_tree(const std::string& path) {
  const std::optional<std::string> name(last_component(path));
  if (!name) return cannot_remove(path, EINVAL);
  UniqueFd parent(open(parent_of(path).c_str(), kFolderOpenFlags & ~O_NOFOLLOW));
  if (!parent) return cannot_remove(path, errno);
  return remove_tree_at(parent.get(), *name, path);
}

}  // namespace orvc::removal
