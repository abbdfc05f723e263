// Change notifications on POSIX (Linux inotify), turned into the change records that
// ReadDirectoryChangesW gives, so that the engine's record walk is the same on every backend.
//
// inotify watches one folder at a time, so the watch keeps one inotify watch per folder of the
// tree and a map from watch descriptor to the folder's path relative to the root (host bytes,
// '/'-separated, "" for the root). Events are translated in the order the kernel queued them, and
// the map is kept in step with the folders they report:
//   - a folder created or moved in gets watches for its whole subtree at once (what appeared in
//     it before its watch existed is not reported; the refresh of its holding folder scans it);
//   - a folder renamed within the tree keeps its watches (they follow the inode), and the paths of
//     it and its descendants are renamed in the map; a check that its new path carries its own
//     watch catches the case where the map no longer matched the disk, and walks it afresh;
//   - a folder moved out of the tree loses its watches; a deleted one loses them by IN_IGNORED.
// A move is a pair of events with one cookie, queued back to back by the rename. As Windows does,
// a rename within one folder becomes "renamed old name" + "renamed new name", a move between two
// folders "removed" + "added" (so both folders are refreshed), and a move out of the tree or in
// from outside "removed" or "added" alone.
//
// When the kernel's queue overflows (IN_Q_OVERFLOW), folders made or moved during the lost events
// have no watch and renamed ones wrong paths, so the whole tree is walked again: watches are added
// where missing, paths relabelled, and watches of folders no longer in the tree dropped. Read
// reports the overflow as 0 bytes, like a system that dropped changes.
//
// Read runs on one thread (the one that opens and closes the watch); Wake may come from any other
// thread, and signals an eventfd that Read polls beside the inotify descriptor.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <mutex>
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
// never followed below the root, and events of files unlinked while open are not wanted.
constexpr uint32_t kEventMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_EXCL_UNLINK |
                                IN_ONLYDIR;
constexpr uint32_t kFolderMask = kEventMask | IN_DONT_FOLLOW;
// The root itself may be reached through a link (a drive mapped to a linked folder).
constexpr uint32_t kRootMask = kEventMask;

constexpr size_t kRawBufferSize = 64 * 1024;
constexpr uint32_t kRecordHeader = 12;  // NextEntryOffset, Action, FileNameLength
// The action of a queued entry that stands for dropped changes.
constexpr uint32_t kDroppedMark = 0;
// Folders walked between looks at the wake-up descriptor during a walk after an overflow.
constexpr int kWakeCheckInterval = 256;

enum class Walk { kDone, kWoken, kLimit };

struct Change {
  uint32_t action;
  String name;  // relative to the root, '\\'-separated
};

// A move out of a folder whose partner (the move in) has not been seen yet.
struct MoveFrom {
  uint32_t cookie;
  int wd;
  std::string path;  // host-relative path of the entry that moved
  bool isFolder;
};

bool IsDots(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// p is folder or something below it.
bool IsUnder(const std::string& p, const std::string& folder) {
  return p.size() >= folder.size() && p.compare(0, folder.size(), folder) == 0 &&
         (p.size() == folder.size() || p[folder.size()] == '/');
}

std::string Join(const std::string& folder, const char* name) {
  return folder.empty() ? std::string(name) : folder + '/' + name;
}

String RecordName(const std::string& path) {
  String name = FromHostBytes(path);
  std::replace(name.begin(), name.end(), u'/', u'\\');
  return name;
}

void PutU32(uint8_t* at, uint32_t v) { std::memcpy(at, &v, 4); }

}  // namespace

struct DirectoryWatch::Impl {
  // Used only by the thread that owns the watch (Open, Read, Close).
  int inotifyFd = -1;
  std::string hostRoot;                       // no trailing '/' (unless it is "/")
  int rootWd = -1;
  std::unordered_map<int, std::string> folders;  // wd -> host-relative path
  std::deque<Change> ready;                   // translated, not yet delivered
  std::optional<MoveFrom> moveFrom;
  bool rootLost = false;      // the root was deleted or moved away: every Read fails
  bool resyncNeeded = false;  // an overflow happened; the walk has not been completed since
  alignas(struct inotify_event) char raw[kRawBufferSize];

  // Wake reaches wakeFd from other threads: it is written under wakeMutex, and read without it only
  // by the owning thread.
  std::mutex wakeMutex;
  int wakeFd = -1;
  bool wakeLatched = false;  // guarded by wakeMutex: a Wake came while the watch was closed

  std::string Host(const std::string& path) const {
    if (path.empty()) return hostRoot;
    return hostRoot == "/" ? "/" + path : hostRoot + '/' + path;
  }

  // Signals the wake-up descriptor; wakeMutex is held.
  void PostWake() {
    uint64_t one = 1;
    posix::RetryEintr([&] { return ::write(wakeFd, &one, sizeof one); });
  }

  // Takes a pending wake-up, if there is one.
  bool TakeWake() {
    uint64_t count = 0;
    return posix::RetryEintr([&] { return ::read(wakeFd, &count, sizeof count); }) ==
               ssize_t(sizeof count) &&
           count > 0;
  }

  // Adds a watch for the folder at path and every folder below it, labelling each in the map.
  // Walks without recursion and never follows a link. Folders that vanish or cannot be read are
  // passed over. Stops early when the system's watch limit is reached, or when interruptible and
  // a wake-up came (the wake-up is taken). seen, when given, collects the descriptors met.
  Walk AddTree(const std::string& path, std::unordered_set<int>* seen, bool interruptible) {
    std::vector<std::string> stack{path};
    int walked = 0;
    while (!stack.empty()) {
      std::string folder = std::move(stack.back());
      stack.pop_back();
      if (interruptible && ++walked % kWakeCheckInterval == 0 && TakeWake()) return Walk::kWoken;
      std::string host = Host(folder);
      uint32_t mask = folder.empty() ? kRootMask : kFolderMask;
      int wd = ::inotify_add_watch(inotifyFd, host.c_str(), mask);
      if (wd < 0) {
        if (errno == ENOSPC || errno == ENOMEM) return Walk::kLimit;
        continue;  // gone, not a folder any more, or not ours to read
      }
      folders[wd] = folder;
      if (seen) seen->insert(wd);
      int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folder.empty() ? 0 : O_NOFOLLOW);
      int fd = posix::RetryEintr([&] { return ::open(host.c_str(), flags); });
      if (fd < 0) continue;
      DIR* dir = ::fdopendir(fd);
      if (!dir) {
        ::close(fd);
        continue;
      }
      while (struct dirent* d = ::readdir(dir)) {
        if (IsDots(d->d_name)) continue;
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

  // Drops the watches of a folder and everything below it.
  void DropTree(const std::string& path) {
    for (auto it = folders.begin(); it != folders.end();) {
      if (IsUnder(it->second, path)) {
        ::inotify_rm_watch(inotifyFd, it->first);
        it = folders.erase(it);
      } else {
        ++it;
      }
    }
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
    if (AddTree(path, nullptr, false) == Walk::kLimit) ready.push_back({kDroppedMark, {}});
  }

  // The pending move out found no partner: it left the tree.
  void SettleMoveFrom() {
    if (!moveFrom) return;
    ready.push_back({kActionRemoved, RecordName(moveFrom->path)});
    if (moveFrom->isFolder) DropTree(moveFrom->path);
    moveFrom.reset();
  }

  void Translate(const struct inotify_event& ev) {
    bool pairsMove = moveFrom && (ev.mask & IN_MOVED_TO) && ev.cookie == moveFrom->cookie;
    if (!pairsMove) SettleMoveFrom();
    if (ev.mask & IN_Q_OVERFLOW) {
      ready.push_back({kDroppedMark, {}});
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
    } else if (ev.mask & IN_MOVED_TO) {
      if (pairsMove) {
        bool sameFolder = moveFrom->wd == ev.wd;
        ready.push_back({sameFolder ? kActionRenamedOldName : kActionRemoved,
                         RecordName(moveFrom->path)});
        ready.push_back({sameFolder ? kActionRenamedNewName : kActionAdded, RecordName(path)});
        std::string from = std::move(moveFrom->path);
        moveFrom.reset();
        if (isFolder) RenameTree(from, path);
      } else {
        ready.push_back({kActionAdded, RecordName(path)});
        if (isFolder) AddNewTree(path);
      }
    } else if (ev.mask & IN_CREATE) {
      ready.push_back({kActionAdded, RecordName(path)});
      if (isFolder) AddNewTree(path);
    } else if (ev.mask & IN_DELETE) {
      ready.push_back({kActionRemoved, RecordName(path)});
    } else if (ev.mask & (IN_MODIFY | IN_ATTRIB)) {
      ready.push_back({kActionModified, RecordName(path)});
    }
  }

  // Reads and translates everything the kernel has queued. A move out at the end of what was read
  // is paired with the move in that the same rename queued right after it; a second read finds
  // it. False on a read failure (LastError set).
  bool Drain() {
    for (;;) {
      ssize_t n = posix::RetryEintr([&] { return ::read(inotifyFd, raw, sizeof raw); });
      if (n < 0) {
        if (errno == EAGAIN) break;
        return posix::Fail(errno);
      }
      for (ssize_t at = 0; at + ssize_t(sizeof(struct inotify_event)) <= n;) {
        const auto* ev = reinterpret_cast<const struct inotify_event*>(raw + at);
        Translate(*ev);
        at += ssize_t(sizeof(struct inotify_event) + ev->len);
      }
      if (!moveFrom) break;
    }
    SettleMoveFrom();
    return true;
  }

  // Walks the whole tree again after an overflow. False when a wake-up interrupted it (taken);
  // the next Read starts it again.
  bool Resync() {
    std::unordered_set<int> seen;
    Walk walk = AddTree({}, &seen, true);
    if (walk == Walk::kWoken) return false;
    resyncNeeded = false;
    if (!seen.count(rootWd)) rootLost = true;
    if (walk == Walk::kLimit) return true;  // a partial walk: keep every watch there is
    for (auto it = folders.begin(); it != folders.end();) {
      if (!seen.count(it->first)) {
        ::inotify_rm_watch(inotifyFd, it->first);
        it = folders.erase(it);
      } else {
        ++it;
      }
    }
    return true;
  }

  // Writes the ready changes that fit into the buffer as change records. 0 when a dropped-changes
  // mark comes first, or when the first change alone does not fit (it is dropped like an
  // overflow).
  int Deliver(uint8_t* buffer, uint32_t size) {
    size_t room = std::min<size_t>(size, INT_MAX) & ~size_t(3);
    size_t used = 0;
    size_t last = SIZE_MAX;
    while (!ready.empty()) {
      const Change& c = ready.front();
      if (c.action == kDroppedMark) {
        if (used == 0) ready.pop_front();
        break;
      }
      size_t nameBytes = c.name.size() * sizeof(char16_t);
      size_t length = (kRecordHeader + nameBytes + 3) & ~size_t(3);
      if (used + length > room) {
        if (used == 0) ready.pop_front();
        break;
      }
      uint8_t* at = buffer + used;
      PutU32(at, 0);
      PutU32(at + 4, c.action);
      PutU32(at + 8, uint32_t(nameBytes));
      std::memcpy(at + kRecordHeader, c.name.data(), nameBytes);
      std::memset(at + kRecordHeader + nameBytes, 0, length - kRecordHeader - nameBytes);
      if (last != SIZE_MAX) PutU32(buffer + last, uint32_t(used - last));
      last = used;
      used += length;
      ready.pop_front();
    }
    return int(used);
  }

  void Reset() {
    if (inotifyFd >= 0) ::close(inotifyFd);
    inotifyFd = -1;
    hostRoot.clear();
    rootWd = -1;
    folders.clear();
    ready.clear();
    moveFrom.reset();
    rootLost = false;
    resyncNeeded = false;
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
  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  m.inotifyFd = fd;
  m.hostRoot = host;
  m.rootWd = fd < 0 || wake < 0 ? -1 : ::inotify_add_watch(fd, host.c_str(), kRootMask);
  // The walk adds a folder's watch before it lists the folder, so a subfolder made while it runs
  // is either listed or reported.
  Walk walk = m.rootWd < 0 ? Walk::kDone : m.AddTree({}, nullptr, false);
  if (m.rootWd < 0 || walk == Walk::kLimit) {
    int err = walk == Walk::kLimit ? ENOSPC : errno;  // ENOSPC: the system's limit of watches
    m.Reset();
    if (wake >= 0) ::close(wake);
    return posix::Fail(err == ENOSPC ? ENOMEM : err);
  }
  std::lock_guard<std::mutex> hold(m.wakeMutex);
  m.wakeFd = wake;
  if (m.wakeLatched) {
    m.wakeLatched = false;
    m.PostWake();
  }
  return true;
}

int DirectoryWatch::Read(uint8_t* buffer, uint32_t size) {
  Impl& m = *impl_;
  if (m.inotifyFd < 0) return posix::Fail(EBADF), -1;
  if (fault::ShouldFail(fault::Op::Watch)) return -1;
  if (m.TakeWake()) return 0;
  for (;;) {
    // After an overflow the tree is walked again before anything more is delivered, so a folder
    // made during the lost events is watched by the time the caller hears of the loss.
    if (m.resyncNeeded && !m.Resync()) return 0;
    if (!m.ready.empty()) break;
    if (m.rootLost) return posix::Fail(ENOENT), -1;
    struct pollfd fds[2] = {{m.wakeFd, POLLIN, 0}, {m.inotifyFd, POLLIN, 0}};
    if (posix::RetryEintr([&] { return ::poll(fds, 2, -1); }) < 0) return posix::Fail(errno), -1;
    if ((fds[0].revents & POLLIN) && m.TakeWake()) return 0;
    if ((fds[1].revents & (POLLIN | POLLERR | POLLHUP)) && !m.Drain()) return -1;
  }
  return m.Deliver(buffer, size);
}

void DirectoryWatch::Wake() {
  Impl& m = *impl_;
  std::lock_guard<std::mutex> hold(m.wakeMutex);
  if (m.wakeFd >= 0)
    m.PostWake();
  else
    m.wakeLatched = true;
}

void DirectoryWatch::Close() {
  Impl& m = *impl_;
  m.Reset();
  std::lock_guard<std::mutex> hold(m.wakeMutex);
  if (m.wakeFd >= 0) {
    ::close(m.wakeFd);
    m.wakeFd = -1;
    m.wakeLatched = false;  // wake-ups posted to the open watch went with it
  }
}

bool DirectoryWatch::IsOpen() const { return impl_->inotifyFd >= 0; }

// POSIX names have no short forms: an existing path is its own long form.
String LongPathOf(const String& path) {
  std::string host;
  struct stat st;
  if (!posix::ResolvePath(path, &host)) return {};
  if (::lstat(host.c_str(), &st) != 0) return posix::Fail(errno), String();
  return path;
}

}  // namespace lvx::os
