// Errors on POSIX: the codes are errno values, kept per thread as the layer's last error, and the
// texts are the C library's own.
#include <cstring>

#include "platform/posix/posix.h"
#include "platform/text.h"

namespace lvx::os {
namespace {

thread_local uint32_t tLastError = 0;

struct Kind {
  Error error;
  int code;  // the first code of a kind is the one CodeOf gives
};

constexpr Kind kKinds[] = {
    {Error::None, 0},           {Error::NotFound, ENOENT},    {Error::NotFound, ENOTDIR},
    {Error::Exists, EEXIST},    {Error::AccessDenied, EACCES}, {Error::AccessDenied, EPERM},
    {Error::AccessDenied, EROFS}, {Error::AccessDenied, EISDIR}, {Error::InUse, EBUSY},      {Error::InUse, ETXTBSY},
    {Error::DiskFull, ENOSPC},  {Error::DiskFull, EDQUOT},    {Error::DiskFull, EFBIG},
    {Error::OutOfMemory, ENOMEM}, {Error::OutOfMemory, EAGAIN}, {Error::TooManyFiles, EMFILE},
    {Error::TooManyFiles, ENFILE}, {Error::IoError, EIO},
};

}  // namespace

uint32_t LastError() { return tLastError; }

void SetLastError(uint32_t code) { tLastError = code; }

Error ErrorOf(uint32_t code) {
  for (const Kind& k : kKinds)
    if (uint32_t(k.code) == code) return k.error;
  return Error::IoError;
}

uint32_t CodeOf(Error error) {
  for (const Kind& k : kKinds)
    if (k.error == error) return uint32_t(k.code);
  return EIO;
}

String SystemErrorText(uint32_t code) {
  const char* text = code < 4096 ? ::strerrordesc_np(int(code)) : nullptr;
  return text ? U16(text) + u"\r\n" : String();
}

namespace posix {

bool Fail(int err) {
  tLastError = uint32_t(err);
  return false;
}

uint64_t FileTimeOf(const struct timespec& t) {
  constexpr int64_t kEpochDelta = 11644473600;  // seconds from 1601-01-01 to 1970-01-01
  int64_t seconds = int64_t(t.tv_sec) + kEpochDelta;
  if (seconds < 0) return 0;
  return uint64_t(seconds) * 10000000u + uint64_t(t.tv_nsec) / 100u;
}

}  // namespace posix
}  // namespace lvx::os
