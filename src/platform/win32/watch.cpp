// Change notifications on Win32: ReadDirectoryChangesW over the root's subtree, completed on an I/O
// completion port whose key is the watch itself, so that an empty packet with key 0 (Wake) tells a
// wake-up from a finished read.
//
// The system writes a pending read's records into its buffer whenever the changes come, long after
// the Read call that started it may have returned for a wake-up. So the buffer and the OVERLAPPED
// belong to the watch (an IoState on the heap), never to the caller: a read that is still pending
// when Read returns for a wake-up stays pending and is collected by the next Read instead of
// being started twice, and Close cancels it and waits for the cancelled read to complete before
// the memory goes. Should that completion never come, the IoState is left alive on purpose:
// a small leak is better than the system writing into freed memory.
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/win32/win32_api.h"

#include "platform/file.h"
#include "platform/watch.h"

namespace lvx::os {
namespace {

// How long Close waits for a cancelled read to come back before it gives up on it.
constexpr DWORD kCancelWaitMs = 5000;

struct IoState {
  OVERLAPPED overlapped{};
  std::vector<DWORD> buffer;  // DWORD-aligned, as ReadDirectoryChangesW requires
  bool pending = false;       // a read was started and its completion not yet taken
};

}  // namespace

struct DirectoryWatch::Impl {
  HANDLE dir = nullptr;   // the root, opened for listing; null when closed
  IoState* io = nullptr;  // owned unless abandoned by Close (see above)

  // Wake reaches the port from other threads: it is written under portMutex, and read without it
  // only by the thread that owns the watch (Open, Read, Close).
  std::mutex portMutex;
  HANDLE port = nullptr;
  bool wakeLatched = false;  // guarded by portMutex: a Wake came while there was no port

  // Waits for the next packet on the port. Returns 1 for a completion of our read (bytes in *bytes),
  // 0 for a wake-up, -1 for a failure (LastError set). A failed read counts as taken.
  int TakePacket(DWORD* bytes) {
    ULONG_PTR key = 0;
    LPOVERLAPPED done = nullptr;
    *bytes = 0;
    BOOL ok = ::GetQueuedCompletionStatus(port, bytes, &key, &done, INFINITE);
    DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    if (done == &io->overlapped) io->pending = false;
    if (!ok) {
      if (done == &io->overlapped && error == ERROR_NOTIFY_ENUM_DIR) return 0;  // overflow
      SetLastError(error);
      return -1;
    }
    if (key == 0 || done == nullptr) return 0;
    return 1;
  }

  // Cancels a pending read and waits for its completion, which must be taken before the
  // OVERLAPPED and the buffer may go.
  void ReleaseIo() {
    if (io && io->pending) {
      ::CancelIoEx(dir, &io->overlapped);
      while (io->pending) {
        DWORD bytes = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED done = nullptr;
        BOOL ok = ::GetQueuedCompletionStatus(port, &bytes, &key, &done, kCancelWaitMs);
        if (done == &io->overlapped) io->pending = false;
        else if (!ok) break;  // timed out or the port failed: nothing more will come
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
  HANDLE dir = ::CreateFileW(win32::W(root), FILE_LIST_DIRECTORY,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                             nullptr);
  if (dir == INVALID_HANDLE_VALUE) return false;
  HANDLE port =
      ::CreateIoCompletionPort(dir, nullptr, reinterpret_cast<ULONG_PTR>(impl_.get()), 0);
  if (!port) {
    DWORD error = ::GetLastError();
    ::CloseHandle(dir);
    SetLastError(error);
    return false;
  }
  impl_->dir = dir;
  impl_->io = new IoState;
  std::lock_guard<std::mutex> hold(impl_->portMutex);
  impl_->port = port;
  if (impl_->wakeLatched) {
    impl_->wakeLatched = false;
    ::PostQueuedCompletionStatus(port, 0, 0, nullptr);
  }
  return true;
}

int DirectoryWatch::Read(uint8_t* buffer, uint32_t size) {
  Impl& m = *impl_;
  if (!m.dir) {
    SetLastError(kErrorInvalidHandle);
    return -1;
  }
  IoState& io = *m.io;
  if (!io.pending) {
    io.buffer.assign((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    io.overlapped = OVERLAPPED{};
    if (!::ReadDirectoryChangesW(m.dir, io.buffer.data(), DWORD(io.buffer.size() * sizeof(DWORD)),
                                 TRUE, kChangeFilter, nullptr, &io.overlapped, nullptr))
      return -1;
    io.pending = true;
  }
  DWORD bytes = 0;
  int taken = m.TakePacket(&bytes);
  if (taken <= 0) return taken;
  // 0 bytes: the system dropped the changes (its buffer overflowed). A result larger than this
  // call's buffer (a caller that shrank it) is dropped the same way.
  if (bytes == 0 || bytes > size) return 0;
  std::memcpy(buffer, io.buffer.data(), bytes);
  return int(bytes);
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
    m.wakeLatched = false;  // wake-ups posted to the old port went with it
  }
}

bool DirectoryWatch::IsOpen() const { return impl_->dir != nullptr; }

String GetLongPathName(const String& path) {
  constexpr DWORD kMax = 32768;
  std::vector<wchar_t> out(kMax);
  DWORD n = ::GetLongPathNameW(win32::W(path), out.data(), kMax);
  if (n == 0) return {};
  if (n >= kMax) {
    SetLastError(kErrorFilenameTooLong);
    return {};
  }
  return String(win32::U(out.data()), n);
}

}  // namespace lvx::os
