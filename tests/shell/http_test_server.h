// A small HTTP server on 127.0.0.1 for the update-check tests: one thread accepts connections on a
// free port, reads each request head and answers with the configured reply, which can come at once,
// drip out a byte at a time, or break off part-way.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lvx::test {

class HttpTestServer {
 public:
  enum class Pace { AtOnce, Drip };
  struct Reply {
    int status = 200;
    std::string body;
    Pace pace = Pace::AtOnce;
    // The head announces the whole body, but the connection closes after this many body bytes.
    size_t cutAfter = size_t(-1);
  };

  HttpTestServer();
  ~HttpTestServer();
  bool Listening() const { return listen_ != ~uintptr_t(0); }
  std::u16string BaseUrl() const;  // "http://127.0.0.1:<port>"
  void SetReply(const Reply& reply);
  // Request heads seen so far (request line and headers).
  std::vector<std::string> Requests() const;
  // A port with nothing listening on it.
  static int ClosedPort();

 private:
  void Serve(uintptr_t client);

  uintptr_t listen_ = ~uintptr_t(0);
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptThread_;
  mutable std::mutex mutex_;
  Reply reply_;                        // guarded by mutex_
  std::vector<std::string> requests_;  // guarded by mutex_
  std::vector<std::thread> workers_;   // guarded by mutex_
};

}  // namespace lvx::test
