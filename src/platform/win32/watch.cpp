// Watching a drive on Win32: ReadDirectoryChangesW over the root's subtree, completed on an I/O
// completion port that lives as long as the watch. A finished read comes with the watch as its
// key; Wake posts an empty packet with key 0, from any thread, before Open too.
//
// The system writes a pending read's records into its buffer whenever the changes come, long after
// the Read that started it may have returned for a wake-up. So the buffers and the OVERLAPPED
// belong to the watch (an IoState on the heap), and Close cancels a pending read and waits for its
// completion before the memory goes; should it never come, the IoState is left alive on purpose.
// A read is kept pending from Open on, two buffers taking turns, so that changes made while the
// caller is between Reads are not lost (wine drops those made while no read is pending); records
// that do not fit into the caller's buffer come with the next Read.
#include <vector>

#include "platform/fault.h"
#include "platform/watch.h"
#include "platform/win32/win32.h"

namespace lvx::os {
namespace {

constexpr size_t kSystemBufferBytes = 64 * 1024;  // the largest that network drives accept
constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_CREATION |
                                FILE_NOTIFY_CHANGE_SECURITY;
constexpr DWORD kCancelWaitMs = 5000;  // how long Close waits for a cancelled read to come back

struct IoState {
  OVERLAPPED overlapped{};
  std::vector<DWORD> reading = std::vector<DWORD>(kSystemBufferBytes / sizeof(DWORD));
  std::vector<DWORD> ready = std::vector<DWORD>(kSystemBufferBytes / sizeof(DWORD));
  bool pending = false;  // a read into `reading` was started and its completion not yet taken
  size_t readyAt = 0;    // the next undelivered record in `ready`
  size_t readyEnd = 0;   // the bytes the completed read gave
};

}  // namespace

struct DirectoryWatch::Impl {
  const HANDLE port = ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
  HANDLE dir = nullptr;   // the root, opened for listing; null when closed
  IoState* io = nullptr;  // owned unless abandoned by Close

  ~Impl() { ::CloseHandle(port); }

  bool StartRead() {
    io->overlapped = OVERLAPPED{};
    io->pending = ::ReadDirectoryChangesW(dir, io->reading.data(), DWORD(kSystemBufferBytes), TRUE,
                                          kChangeFilter, nullptr, &io->overlapped, nullptr);
    return io->pending;
  }

  // The next packet on the port, waiting up to the time: 1 when our read completed (its bytes in
  // *bytes), 0 for a wake-up, -1 for a failure or the time up (LastError set).
  int TakePacket(DWORD* bytes, DWORD milliseconds) {
    ULONG_PTR key = 0;
    LPOVERLAPPED done = nullptr;
    *bytes = 0;
    BOOL ok = ::GetQueuedCompletionStatus(port, bytes, &key, &done, milliseconds);
    if (done == &io->overlapped) io->pending = false;
    if (!ok) return done == &io->overlapped && ::GetLastError() == ERROR_NOTIFY_ENUM_DIR ? 1 : -1;
    return key == 0 || done == nullptr ? 0 : 1;
  }
};

DirectoryWatch::DirectoryWatch() : impl_(std::make_unique<Impl>()) {}
DirectoryWatch::~DirectoryWatch() { Close(); }

bool DirectoryWatch::Open(const String& root) {
  Close();
  Impl& m = *impl_;
  if (fault::ShouldFail(fault::Op::Watch)) return false;
  if (!m.port) return ::SetLastError(ERROR_NOT_ENOUGH_MEMORY), false;
  HANDLE dir = ::CreateFileW(win32::W(root), FILE_LIST_DIRECTORY,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (dir == INVALID_HANDLE_VALUE) return false;
  m.dir = dir;
  m.io = new IoState;
  // Changes are recorded from the first read on, so it starts here.
  if (::CreateIoCompletionPort(dir, m.port, reinterpret_cast<ULONG_PTR>(&m), 0) && m.StartRead()) return true;
  DWORD error = ::GetLastError();
  Close();
  return ::SetLastError(error), false;
}

int DirectoryWatch::Read(uint8_t* buffer, uint32_t size) {
  Impl& m = *impl_;
  if (!m.dir) return ::SetLastError(ERROR_INVALID_HANDLE), -1;
  if (fault::ShouldFail(fault::Op::Watch)) return -1;
  IoState& io = *m.io;
  for (;;) {
    if (io.readyEnd != 0) {
      // A record too large for the caller's buffer is dropped, as the system drops what overflows one.
      const auto* data = reinterpret_cast<const uint8_t*>(io.ready.data());
      int used = DeliverChangeRecords(data, io.readyAt, io.readyEnd, buffer, size);
      if (io.readyAt + 12 > io.readyEnd) io.readyAt = io.readyEnd = 0;
      return used;
    }
    if (!io.pending && !m.StartRead()) return -1;
    DWORD bytes = 0;
    int taken = m.TakePacket(&bytes, INFINITE);
    if (taken <= 0) return taken;
    io.ready.swap(io.reading);
    io.readyAt = 0;
    io.readyEnd = bytes;
    m.StartRead();  // failing here shows at the next Read, which tries again
    if (bytes == 0) return 0;  // the system dropped the changes (its buffer overflowed)
  }
}

void DirectoryWatch::Wake() {
  if (impl_->port) ::PostQueuedCompletionStatus(impl_->port, 0, 0, nullptr);
}

void DirectoryWatch::Close() {
  Impl& m = *impl_;
  if (!m.dir) return;
  // The cancelled read's completion must be taken before its OVERLAPPED and buffers may go;
  // wake-ups met meanwhile, and those left for the watch that ends, go with it.
  if (m.io->pending) ::CancelIoEx(m.dir, &m.io->overlapped);
  DWORD bytes;
  while (m.io->pending && m.TakePacket(&bytes, kCancelWaitMs) >= 0) {}
  while (m.TakePacket(&bytes, 0) >= 0) {}
  if (!m.io->pending) delete m.io;  // else abandoned: the system may still write into it
  m.io = nullptr;
  ::CloseHandle(m.dir);
  m.dir = nullptr;
}

bool DirectoryWatch::IsOpen() const { return impl_->dir != nullptr; }

String LongPathOf(const String& path) {
  constexpr DWORD kMax = 32768;
  std::vector<wchar_t> out(kMax);
  DWORD n = fault::ShouldFail(fault::Op::Watch) ? 0 : ::GetLongPathNameW(win32::W(path), out.data(), kMax);
  if (n >= kMax) ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
  return n == 0 || n >= kMax ? String() : String(win32::U(out.data()), n);
}

}  // namespace lvx::os
