#include "http_test_server.h"

#include <algorithm>

#include <winsock2.h>
#include <windows.h>

namespace lvx::test {
namespace {

struct WinsockStartup {
  WinsockStartup() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

void EnsureWinsock() { static WinsockStartup startup; }

SOCKET Listen(int* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  *port = ntohs(address.sin_port);
  return s;
}

bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    int sent = send(s, data, int(size), 0);
    if (sent <= 0) return false;
    data += sent;
    size -= size_t(sent);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

}  // namespace

std::string UnicodeBody(const std::string& text) {
  std::string body = "\xFF\xFE";
  for (char c : text) {
    if (c == '\n') body += std::string("\r\0", 2);
    body += c;
    body += '\0';
  }
  return body;
}

HttpTestServer::HttpTestServer() {
  EnsureWinsock();
  SOCKET s = Listen(&port_);
  if (s == INVALID_SOCKET) return;
  listen_ = uintptr_t(s);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  stop_ = true;
  if (Listening()) closesocket(SOCKET(listen_));
  if (acceptThread_.joinable()) acceptThread_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    workers.swap(workers_);
  }
  for (auto& w : workers) w.join();
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

std::vector<std::string> HttpTestServer::Paths() const {
  std::vector<std::string> paths;
  for (const auto& request : Requests()) {
    size_t start = request.find(' ') + 1, end = request.find(' ', start);
    paths.push_back(request.substr(start, end - start));
  }
  return paths;
}

int HttpTestServer::ClosedPort() {
  EnsureWinsock();
  int port = 0;
  SOCKET s = Listen(&port);
  closesocket(s);
  return port;
}

void HttpTestServer::AcceptLoop() {
  while (!stop_) {
    SOCKET client = accept(SOCKET(listen_), nullptr, nullptr);
    if (client == INVALID_SOCKET) break;
    std::lock_guard<std::mutex> hold(mutex_);
    workers_.emplace_back([this, client] { Serve(uintptr_t(client)); });
  }
}

void HttpTestServer::Serve(uintptr_t handle) {
  SOCKET client = SOCKET(handle);
  DWORD timeout = 5000;  // a client that neither sends nor closes cannot hold the server
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos) {
    int n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closesocket(client);
      return;
    }
    head.append(buffer, size_t(n));
  }
  Reply reply;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
    reply = reply_;
  }
  std::string start = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) +
                      "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(reply.body.size()) +
                      "\r\nConnection: close\r\n\r\n";
  bool whole = SendAll(client, start.data(), start.size());
  if (whole && reply.pace == Pace::Stall) {
    for (uint32_t waited = 0; waited < reply.stallMs && !stop_; waited += 50) Sleep(50);
  }
  size_t bodyBytes = std::min(reply.body.size(), reply.cutAfter);
  if (whole && reply.pace == Pace::Drip) {
    for (size_t i = 0; i < bodyBytes && whole && !stop_; ++i) {
      whole = SendAll(client, reply.body.data() + i, 1);
      Sleep(20);
    }
  } else if (whole) {
    whole = SendAll(client, reply.body.data(), bodyBytes);
  }
  if (!whole) clientLeftEarly_ = true;
  shutdown(client, SD_SEND);
  // Wait briefly for the client to close, so the reply is not cut by a reset.
  while (recv(client, buffer, sizeof buffer, 0) > 0) {
  }
  closesocket(client);
}

}  // namespace lvx::test
