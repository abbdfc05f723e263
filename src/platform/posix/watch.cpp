// Watching a drive on POSIX (Linux inotify), written as the change records of watch.h.
//
// inotify watches one folder at a time, so the watch keeps one per folder of the tree and a map
// from watch descriptor to the folder's path below the root (host bytes, '/'-separated, "" for
// the root), kept in step with the events in the order the kernel queued them: a folder made or
// moved in gets watches for its whole subtree at once (what appeared in it before is not reported;
// the refresh of its holding folder scans it); a folder renamed within the tree keeps its watches
// (they follow the inode) and its paths are relabelled, with a check that its new path carries its
// own watch, else it is walked afresh; a folder moved out loses its watches, a deleted one loses
// them by IN_IGNORED. A rename is a pair of events with one cookie, queued back to back. As on
// Windows, a rename within one folder is "old name" + "new name", a move between folders
// "removed" + "added" (so both are refreshed), a move out of or into the tree one of the two.
//
// When the kernel's queue overflows, folders made or moved meanwhile have no watch and renamed
// ones wrong paths, so the whole tree is walked again (watches added, paths relabelled, watches of
// folders gone dropped); Read reports the loss as 0 bytes. Read runs on one thread; Wake, from any
// thread, signals an eventfd that lives as long as the watch and that Read polls beside inotify.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/drive.h"
#include "platform/fault.h"
#include "platform/posix/posix.h"
#include "platform/watch.h"

namespace lvx::os {
namespace {

// Names, size (IN_MODIFY), creation, security (IN_ATTRIB), and the folder's own end. Links are
// followed only to the root (a drive may be mapped to a linked folder), never below it.
constexpr uint32_t kRootMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                               IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_EXCL_UNLINK | IN_ONLYDIR;
constexpr uint32_t kFolderMask = kRootMask | IN_DONT_FOLLOW;

constexpr size_t kRawBufferSize = 64 * 1024;
constexpr uint32_t kDroppedMark = 0;  // the action of a queued change that stands for a loss
constexpr int kWakeCheckInterval = 256;  // folders walked between looks for a wake-up

enum class Walk { kDone, kWoken, kLimit };

// A move out of a folder (the path below the root) whose partner, the move in, is still to come.
struct MoveFrom {
  uint32_t cookie;
  int wd;
  std::string path;
  bool isFolder;
};

bool IsUnder(const std::string& p, const std::string& folder) {
  return p.size() >= folder.size() && p.compare(0, folder.size(), folder) == 0 &&
         (p.size() == folder.size() || p[folder.size()] == '/');
}

std::string Join(const std::string& folder, const char* name) {
  return folder.empty() ? std::string(name) : folder + '/' + name;
}

}  // namespace

struct DirectoryWatch::Impl {
  // Used only by the thread that owns the watch (Open, Read, Close).
  int inotifyFd = -1;
  std::string hostRoot;                       // no trailing '/' (unless it is "/")
  int rootWd = -1;
  std::unordered_map<int, std::string> folders;  // wd -> host-relative path
  std::vector<uint8_t> ready;                 // change records not yet delivered
  size_t readyAt = 0;                         // the first of them
  std::optional<MoveFrom> moveFrom;
  bool rootLost = false;      // the root was deleted or moved away: every Read fails
  bool resyncNeeded = false;  // an overflow happened; the walk has not been completed since
  const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);  // any thread may signal it
  alignas(struct inotify_event) char raw[kRawBufferSize];

  ~Impl() { ::close(wakeFd); }

  std::string Host(const std::string& path) const {
    if (path.empty()) return hostRoot;
    return hostRoot == "/" ? "/" + path : hostRoot + '/' + path;
  }

  bool TakeWake() {
    uint64_t count = 0;
    return posix::RetryEintr([&] { return ::read(wakeFd, &count, sizeof count); }) == 8 && count > 0;
  }

  // Adds a watch for the folder at path and every folder below it, labelling each in the map,
  // without recursion or following a link; folders that vanish or cannot be read are passed over.
  // Stops at the system's limit of watches, or when interruptible and a wake-up came (taken).
  // seen, when given, collects the descriptors met.
  Walk AddTree(const std::string& path, std::unordered_set<int>* seen, bool interruptible) {
    std::vector<std::string> stack{path};
    int walked = 0;
    while (!stack.empty()) {
      std::string folder = std::move(stack.back());
      stack.pop_back();
      if (interruptible && ++walked % kWakeCheckInterval == 0 && TakeWake()) return Walk::kWoken;
      std::string host = Host(folder);
      int wd = ::inotify_add_watch(inotifyFd, host.c_str(), folder.empty() ? kRootMask : kFolderMask);
      if (wd < 0) {
        if (errno == ENOSPC || errno == ENOMEM) return Walk::kLimit;
        continue;  // gone, not a folder any more, or not ours to read
      }
      folders[wd] = folder;
      if (seen) seen->insert(wd);
      int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folder.empty() ? 0 : O_NOFOLLOW);
      int fd = posix::RetryEintr([&] { return ::open(host.c_str(), flags); });
      DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
      if (dir == nullptr && fd >= 0) ::close(fd);
      if (dir == nullptr) continue;
      while (struct dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
        bool isFolder = d->d_type == DT_DIR;
        if (d->d_type == DT_UNKNOWN) {
          struct stat st;
          isFolder = ::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (isFolder) stack.push_back(Join(folder, d->d_name));
      }
      ::closedir(dir);
    }
    return Walk::kDone;
  }

  template <typename Pick>
  void Drop(Pick pick) {
    std::erase_if(folders, [&](const auto& f) {
      bool drop = pick(f);
      if (drop) ::inotify_rm_watch(inotifyFd, f.first);
      return drop;
    });
  }

  // A folder renamed within the tree: its watches moved with it, so only the map changes.
  void RenameTree(const std::string& from, const std::string& to) {
    for (auto& entry : folders)
      if (IsUnder(entry.second, from)) entry.second = to + entry.second.substr(from.size());
    // The folder now at `to` must carry the watch just renamed; if it does not (it had none yet,
    // or the map had fallen behind the disk), walk it afresh.
    int wd = ::inotify_add_watch(inotifyFd, Host(to).c_str(), kFolderMask);
    if (wd < 0) return;  // moved on again or gone: later events say so
    auto it = folders.find(wd);
    if (it == folders.end() || it->second != to) AddNewTree(to);
  }

  void AddNewTree(const std::string& path) {
    // At the system's limit of watches, changes below this folder go unseen: say so as a loss.
    if (AddTree(path, nullptr, false) == Walk::kLimit) Queue(kDroppedMark, {});
  }

  // Queues the change record of the entry at the host-relative path.
  void Queue(uint32_t action, const std::string& path) {
    String name = FromHostBytes(path);
    std::replace(name.begin(), name.end(), u'/', u'\\');
    const uint32_t bytes = uint32_t(name.size() * 2), length = (12 + bytes + 3) & ~3u;
    const uint32_t header[3] = {length, action, bytes};
    const size_t at = ready.size();
    ready.resize(at + length);
    std::memcpy(&ready[at], header, 12);
    std::memcpy(&ready[at + 12], name.data(), bytes);
  }

  // The pending move out found no partner: it left the tree.
  void SettleMoveFrom() {
    if (!moveFrom) return;
    Queue(kActionRemoved, moveFrom->path);
    if (moveFrom->isFolder) Drop([&](auto& f) { return IsUnder(f.second, moveFrom->path); });
    moveFrom.reset();
  }

  void Translate(const struct inotify_event& ev) {
    bool pairsMove = moveFrom && (ev.mask & IN_MOVED_TO) && ev.cookie == moveFrom->cookie;
    if (!pairsMove) SettleMoveFrom();
    if (ev.mask & IN_Q_OVERFLOW) {
      Queue(kDroppedMark, {});
      resyncNeeded = true;
      return;
    }
    if (ev.mask & IN_IGNORED) {  // the folder was deleted or left the file system
      folders.erase(ev.wd);
      if (ev.wd == rootWd) rootLost = true;
      return;
    }
    auto it = folders.find(ev.wd);
    if (it == folders.end()) return;  // a watch already dropped
    if (ev.len == 0 || ev.name[0] == '\0') {
      // An event of the folder itself; its holding folder reports the same under its name.
      if (ev.wd == rootWd && (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF))) rootLost = true;
      return;
    }
    std::string path = Join(it->second, ev.name);
    bool isFolder = (ev.mask & IN_ISDIR) != 0;
    if (ev.mask & IN_MOVED_FROM) {
      moveFrom = MoveFrom{ev.cookie, ev.wd, std::move(path), isFolder};
    } else if (pairsMove) {
      bool sameFolder = moveFrom->wd == ev.wd;
      Queue(sameFolder ? kActionRenamedOldName : kActionRemoved, moveFrom->path);
      Queue(sameFolder ? kActionRenamedNewName : kActionAdded, path);
      std::string from = std::move(moveFrom->path);
      moveFrom.reset();
      if (isFolder) RenameTree(from, path);
    } else if (ev.mask & (IN_MOVED_TO | IN_CREATE)) {
      Queue(kActionAdded, path);
      if (isFolder) AddNewTree(path);
    } else if (ev.mask & (IN_DELETE | IN_MODIFY | IN_ATTRIB)) {
      Queue(ev.mask & IN_DELETE ? kActionRemoved : kActionModified, path);
    }
  }

  // Reads and translates everything the kernel has queued; a move out at the end of what was read
  // finds its move in (queued right after it) with a second read. False on a read failure.
  bool Drain() {
    for (;;) {
      ssize_t n = posix::RetryEintr([&] { return ::read(inotifyFd, raw, sizeof raw); });
      if (n < 0 && errno == EAGAIN) break;
      if (n < 0) return posix::Fail(errno);
      for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
        const auto* ev = reinterpret_cast<const inotify_event*>(raw + at);
        Translate(*ev);
        at += ssize_t(sizeof(inotify_event) + ev->len);
      }
      if (!moveFrom) break;
    }
    SettleMoveFrom();
    return true;
  }

  // Walks the whole tree again after an overflow; false when a wake-up interrupted it (taken).
  bool Resync() {
    std::unordered_set<int> seen;
    Walk walk = AddTree({}, &seen, true);
    if (walk == Walk::kWoken) return false;
    resyncNeeded = false;
    if (!seen.count(rootWd)) rootLost = true;
    if (walk != Walk::kLimit) Drop([&](auto& f) { return !seen.count(f.first); });  // else keep all
    return true;
  }

  void Reset() {
    if (inotifyFd >= 0) ::close(inotifyFd);
    inotifyFd = rootWd = -1;
    hostRoot.clear(), folders.clear(), ready.clear(), moveFrom.reset(), readyAt = 0;
    rootLost = resyncNeeded = false;
  }
};

DirectoryWatch::DirectoryWatch() : impl_(std::make_unique<Impl>()) {}
DirectoryWatch::~DirectoryWatch() { Close(); }

bool DirectoryWatch::Open(const String& root) {
  Close();
  Impl& m = *impl_;
  std::string host;
  if (fault::ShouldFail(fault::Op::Watch) || !posix::ResolvePath(root, &host)) return false;
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  struct stat st;
  if (::stat(host.c_str(), &st) != 0) return posix::Fail(errno);
  if (!S_ISDIR(st.st_mode)) return posix::Fail(ENOTDIR);
  if (m.wakeFd < 0) return posix::Fail(EMFILE);
  m.inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  m.hostRoot = host;
  m.rootWd = m.inotifyFd < 0 ? -1 : ::inotify_add_watch(m.inotifyFd, host.c_str(), kRootMask);
  // The walk adds a folder's watch before it lists the folder, so a subfolder made while it runs
  // is either listed or reported.
  Walk walk = m.rootWd < 0 ? Walk::kDone : m.AddTree({}, nullptr, false);
  if (m.rootWd < 0 || walk == Walk::kLimit) {
    int err = walk == Walk::kLimit ? ENOSPC : errno;  // ENOSPC: the system's limit of watches
    m.Reset();
    return posix::Fail(err == ENOSPC ? ENOMEM : err);
  }
  return true;
}

int DirectoryWatch::Read(uint8_t* buffer, uint32_t size) {
  Impl& m = *impl_;
  if (m.inotifyFd < 0) return posix::Fail(EBADF), -1;
  if (fault::ShouldFail(fault::Op::Watch)) return -1;
  if (m.TakeWake()) return 0;
  for (;;) {
    // After an overflow the tree is walked again first, so that a folder made during the lost
    // events is watched by the time the caller hears of the loss.
    if (m.resyncNeeded && !m.Resync()) return 0;
    if (m.readyAt < m.ready.size()) break;
    if (m.rootLost) return posix::Fail(ENOENT), -1;
    struct pollfd fds[2] = {{m.wakeFd, POLLIN, 0}, {m.inotifyFd, POLLIN, 0}};
    if (posix::RetryEintr([&] { return ::poll(fds, 2, -1); }) < 0) return posix::Fail(errno), -1;
    if ((fds[0].revents & POLLIN) && m.TakeWake()) return 0;
    if ((fds[1].revents & (POLLIN | POLLERR | POLLHUP)) && !m.Drain()) return -1;
  }
  // A loss, or a change that alone does not fit (dropped, as the system drops an overflow), gives 0
  // bytes when first.
  int used = DeliverChangeRecords(m.ready.data(), m.readyAt, m.ready.size(), buffer, size);
  if (m.readyAt == m.ready.size()) m.ready.clear(), m.readyAt = 0;
  return used;
}

void DirectoryWatch::Wake() {
  uint64_t one = 1;
  posix::RetryEintr([&] { return ::write(impl_->wakeFd, &one, sizeof one); });
}

void DirectoryWatch::Close() {
  bool wasOpen = IsOpen();
  impl_->Reset();
  if (wasOpen) impl_->TakeWake();  // wake-ups for the watch that ends go with it
}

bool DirectoryWatch::IsOpen() const { return impl_->inotifyFd >= 0; }

// POSIX names have no short forms: an existing path is its own long form.
String LongPathOf(const String& path) {
  std::string host;
  struct stat st;
  if (fault::ShouldFail(fault::Op::Watch) || !posix::ResolvePath(path, &host)) return {};
  if (::lstat(host.c_str(), &st) != 0) return posix::Fail(errno), String();
  return path;
}

}  // namespace lvx::os
