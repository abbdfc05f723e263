#include "http_test_server.h"

#include <algorithm>

#include <winsock2.h>
#include <windows.h>

namespace lvx::test {
namespace {

SOCKET Listen(int* port) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  SOCKET s = started ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (s != INVALID_SOCKET &&
      (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
       getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)) {
    closesocket(s);
    s = INVALID_SOCKET;
  }
  *port = ntohs(address.sin_port);
  return s;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
  for (int sent = 0; size > 0; data += sent, size -= size_t(sent))
    if ((sent = send(s, data, int(size), 0)) <= 0) return false;
  return true;
}

}  // namespace

HttpTestServer::HttpTestServer() {
  SOCKET s = Listen(&port_);
  if (s == INVALID_SOCKET) return;
  listen_ = uintptr_t(s);
  acceptThread_ = std::thread([this] {
    for (SOCKET client; !stop_ && (client = accept(SOCKET(listen_), nullptr, nullptr)) != INVALID_SOCKET;) {
      std::lock_guard<std::mutex> hold(mutex_);
      workers_.emplace_back([this, client] { Serve(uintptr_t(client)); });
    }
  });
}

HttpTestServer::~HttpTestServer() {
  stop_ = true;
  if (Listening()) closesocket(SOCKET(listen_));
  if (acceptThread_.joinable()) acceptThread_.join();
  for (auto& w : workers_) w.join();  // the accept thread, the only other writer, has ended
}

std::u16string HttpTestServer::BaseUrl() const {
  std::string url = "http://127.0.0.1:" + std::to_string(port_);
  return std::u16string(url.begin(), url.end());
}

void HttpTestServer::SetReply(const Reply& reply) {
  std::lock_guard<std::mutex> hold(mutex_);
  reply_ = reply;
}

std::vector<std::string> HttpTestServer::Requests() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

int HttpTestServer::ClosedPort() {
  int port = 0;
  closesocket(Listen(&port));
  return port;
}

void HttpTestServer::Serve(uintptr_t handle) {
  SOCKET client = SOCKET(handle);
  DWORD timeout = 5000;  // a client that neither sends nor closes cannot hold the server
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  std::string head;
  char buffer[4096];
  for (int n; head.find("\r\n\r\n") == std::string::npos; head.append(buffer, size_t(n)))
    if ((n = recv(client, buffer, sizeof buffer, 0)) <= 0) return (void)closesocket(client);
  Reply reply;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
    reply = reply_;
  }
  std::string start = "HTTP/1.1 " + std::to_string(reply.status) + (reply.status == 200 ? " OK" : " Failed") +
                      "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(reply.body.size()) +
                      "\r\nConnection: close\r\n\r\n";
  bool whole = SendAll(client, start.data(), start.size());
  const size_t bodyBytes = std::min(reply.body.size(), reply.cutAfter);
  for (size_t i = 0; whole && reply.pace == Pace::Drip && i < bodyBytes && !stop_; ++i, Sleep(20))
    whole = SendAll(client, reply.body.data() + i, 1);
  if (whole && reply.pace != Pace::Drip) SendAll(client, reply.body.data(), bodyBytes);
  shutdown(client, SD_SEND);
  while (recv(client, buffer, sizeof buffer, 0) > 0) {  // let the client close first: no reset cuts the reply
  }
  closesocket(client);
}

}  // namespace lvx::test
