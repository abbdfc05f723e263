// Fetches the update server's reply into tmpupdate.ini over WinINet: direct connection, no cached
// copy, the program's fixed request headers. The body is copied block by block (at most 8192 bytes,
// as much as has arrived) and the stop flag is checked before each block, so a stop request ends a
// slow transfer as soon as the next bytes arrive.
#pragma once

#include <atomic>
#include <string>

namespace lvx::shell {

enum class DownloadOutcome {
  Completed,    // HTTP 200 and a whole reply that starts with FF FE, written to the file
  Unreachable,  // no connection, a status other than 200, or the file could not be created
  Interrupted,  // the transfer or the file write broke off, or the body fell short of the announced
                // length (file emptied)
  Refused,      // more than the reply limit, or not UTF-16LE with a byte-order mark (file emptied)
  Stopped,      // the stop flag was set
};

DownloadOutcome DownloadReply(const std::u16string& url, const std::u16string& path,
                              const std::atomic<bool>& stop);

}  // namespace lvx::shell
