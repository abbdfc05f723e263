// Change notifications on Win32: ReadDirectoryChangesW over the root's subtree, completed on an I/O
// completion port whose key is the watch itself, so that an empty packet with key 0 (Wake) tells a
// wake-up from a finished read.
//
// The system writes a pending read's records into its buffer whenever the changes come, long after
// the Read call that started it may have returned for a wake-up. So the buffers and the OVERLAPPED
// belong to the watch (an IoState on the heap), never to the caller, and Close cancels a pending
// read and waits for it to complete before the memory goes. Should that completion never come,
// the IoState is left alive on purpose: a small leak is better than the system writing into freed
// memory.
//
// A read is kept pending from Open on: two buffers take turns, so that the next read is started
// as soon as one completes, before its records are handed out. Changes made while the caller
// pauses between Reads are then not lost (wine drops those made while no read is pending), and
// the system's buffer can be larger than the caller's: records that do not fit into one Read are
// kept for the next, as the POSIX backend does.
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/fault.h"
#include "platform/watch.h"
#include "platform/win32/win32.h"

namespace lvx::os {
namespace {

// The system's buffer per read: the largest that network drives accept.
constexpr size_t kSystemBufferBytes = 64 * 1024;
// File name, directory name, size, creation time, security.
constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_CREATION |
                                FILE_NOTIFY_CHANGE_SECURITY;
// How long Close waits for a cancelled read to come back before it gives up on it.
constexpr DWORD kCancelWaitMs = 5000;
constexpr size_t kRecordHeader = 12;  // NextEntryOffset, Action, FileNameLength

struct IoState {
  OVERLAPPED overlapped{};
  std::vector<DWORD> reading = std::vector<DWORD>(kSystemBufferBytes / sizeof(DWORD));
  std::vector<DWORD> ready = std::vector<DWORD>(kSystemBufferBytes / sizeof(DWORD));
  bool pending = false;  // a read into `reading` was started and its completion not yet taken
  size_t readyAt = 0;    // the next undelivered record in `ready`
  size_t readyEnd = 0;   // the bytes the completed read gave
};

uint32_t GetU32(const uint8_t* at) {
  uint32_t v;
  std::memcpy(&v, at, 4);
  return v;
}

void PutU32(uint8_t* at, uint32_t v) { std::memcpy(at, &v, 4); }

}  // namespace

struct DirectoryWatch::Impl {
  HANDLE dir = nullptr;   // the root, opened for listing; null when closed
  IoState* io = nullptr;  // owned unless abandoned by Close (see above)

  // Wake reaches the port from other threads: it is written under portMutex, and read without it
  // only by the thread that owns the watch (Open, Read, Close).
  std::mutex portMutex;
  HANDLE port = nullptr;
  bool wakeLatched = false;  // guarded by portMutex: a Wake came while the watch was closed

  // Starts a read into io->reading. False (LastError set) when the system refuses it.
  bool StartRead() {
    io->overlapped = OVERLAPPED{};
    if (!::ReadDirectoryChangesW(dir, io->reading.data(), DWORD(kSystemBufferBytes), TRUE,
                                 kChangeFilter, nullptr, &io->overlapped, nullptr))
      return false;
    io->pending = true;
    return true;
  }

  // Waits for the next packet on the port. Returns 1 when our read completed (its bytes in
  // *bytes), 0 for a wake-up, -1 for a failure (LastError set). A failed read counts as taken.
  int TakePacket(DWORD* bytes) {
    ULONG_PTR key = 0;
    LPOVERLAPPED done = nullptr;
    *bytes = 0;
    BOOL ok = ::GetQueuedCompletionStatus(port, bytes, &key, &done, INFINITE);
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (done == &io->overlapped) io->pending = false;
    if (!ok) {
      if (done == &io->overlapped && error == ERROR_NOTIFY_ENUM_DIR) return 1;  // overflow
      SetLastError(error);
      return -1;
    }
    if (key == 0 || done == nullptr) return 0;
    return 1;
  }

  // Copies the ready records that fit into the buffer, renumbering their offsets. 0 when the next
  // record alone does not fit (it is dropped, as the system drops what overflows a buffer).
  int Deliver(uint8_t* buffer, uint32_t size) {
    const auto* data = reinterpret_cast<const uint8_t*>(io->ready.data());
    size_t room = size & ~size_t(3);
    size_t used = 0;
    size_t last = SIZE_MAX;
    while (io->readyAt + kRecordHeader <= io->readyEnd) {
      const uint8_t* record = data + io->readyAt;
      uint32_t next = GetU32(record);
      size_t nameBytes = GetU32(record + 8);
      size_t bytes = kRecordHeader + nameBytes;
      if (io->readyAt + bytes > io->readyEnd || (next != 0 && next < bytes)) {
        io->readyAt = io->readyEnd;  // malformed: the rest is dropped
        break;
      }
      size_t length = (bytes + 3) & ~size_t(3);
      if (used + length > room) {
        if (used == 0) io->readyAt = next ? io->readyAt + next : io->readyEnd;
        break;
      }
      std::memcpy(buffer + used, record, bytes);
      std::memset(buffer + used + bytes, 0, length - bytes);
      PutU32(buffer + used, 0);
      if (last != SIZE_MAX) PutU32(buffer + last, uint32_t(used - last));
      last = used;
      used += length;
      io->readyAt = next ? io->readyAt + next : io->readyEnd;
    }
    if (io->readyAt + kRecordHeader > io->readyEnd) io->readyAt = io->readyEnd = 0;
    return int(used);
  }

  // Cancels a pending read and waits for its completion, which must be taken before the
  // OVERLAPPED and the buffers may go.
  void ReleaseIo() {
    if (io && io->pending) {
      ::CancelIoEx(dir, &io->overlapped);
      while (io->pending) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED done = nullptr;
        BOOL ok = ::GetQueuedCompletionStatus(port, &bytes, &key, &done, kCancelWaitMs);
        if (done == &io->overlapped)
          io->pending = false;
        else if (!ok)
          break;  // timed out or the port failed: nothing more will come
        // anything else is a wake-up packet: keep waiting
      }
      if (io->pending) io = nullptr;  // abandoned: the system may still write into it
    }
    delete io;
    io = nullptr;
  }
};

DirectoryWatch::DirectoryWatch() : impl_(std::make_unique<Impl>()) {}

DirectoryWatch::~DirectoryWatch() { Close(); }

bool DirectoryWatch::Open(const String& root) {
  Close();
  Impl& m = *impl_;
  if (fault::ShouldFail(fault::Op::Watch)) return false;
  HANDLE dir = ::CreateFileW(win32::W(root), FILE_LIST_DIRECTORY,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                             nullptr);
  if (dir == INVALID_HANDLE_VALUE) return false;
  HANDLE port = ::CreateIoCompletionPort(dir, nullptr, reinterpret_cast<ULONG_PTR>(&m), 0);
  if (!port) {
    DWORD error = ::GetLastError();
    ::CloseHandle(dir);
    SetLastError(error);
    return false;
  }
  m.dir = dir;
  m.io = new IoState;
  {
    std::lock_guard<std::mutex> hold(m.portMutex);
    m.port = port;
  }
  // Changes are recorded from the first read on, so it starts here.
  if (!m.StartRead()) {
    DWORD error = ::GetLastError();
    Close();
    SetLastError(error);
    return false;
  }
  std::lock_guard<std::mutex> hold(m.portMutex);
  if (m.wakeLatched) {
    m.wakeLatched = false;
    ::PostQueuedCompletionStatus(port, 0, 0, nullptr);
  }
  return true;
}

int DirectoryWatch::Read(uint8_t* buffer, uint32_t size) {
  Impl& m = *impl_;
  if (!m.dir) return ::SetLastError(ERROR_INVALID_HANDLE), -1;
  if (fault::ShouldFail(fault::Op::Watch)) return -1;
  IoState& io = *m.io;
  for (;;) {
    if (io.readyEnd != 0) return m.Deliver(buffer, size);
    if (!io.pending && !m.StartRead()) return -1;
    DWORD bytes = 0;
    int taken = m.TakePacket(&bytes);
    if (taken <= 0) return taken;
    io.ready.swap(io.reading);
    io.readyAt = 0;
    io.readyEnd = bytes;
    bool started = m.StartRead();  // failing here shows at the next Read, which tries again
    (void)started;
    // 0 bytes: the system dropped the changes (its buffer overflowed).
    if (bytes == 0) return 0;
  }
}

void DirectoryWatch::Wake() {
  std::lock_guard<std::mutex> hold(impl_->portMutex);
  if (impl_->port)
    ::PostQueuedCompletionStatus(impl_->port, 0, 0, nullptr);
  else
    impl_->wakeLatched = true;
}

void DirectoryWatch::Close() {
  Impl& m = *impl_;
  if (m.dir) {
    m.ReleaseIo();
    ::CloseHandle(m.dir);
    m.dir = nullptr;
  }
  std::lock_guard<std::mutex> hold(m.portMutex);
  if (m.port) {
    ::CloseHandle(m.port);
    m.port = nullptr;
    m.wakeLatched = false;  // wake-ups posted to the open watch went with it
  }
}

bool DirectoryWatch::IsOpen() const { return impl_->dir != nullptr; }

String LongPathOf(const String& path) {
  constexpr DWORD kMax = 32768;
  std::vector<wchar_t> out(kMax);
  DWORD n = ::GetLongPathNameW(win32::W(path), out.data(), kMax);
  if (n == 0) return {};
  if (n >= kMax) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return {};
  }
  return String(win32::U(out.data()), n);
}

}  // namespace lvx::os
