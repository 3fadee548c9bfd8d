#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstring>

namespace tessa::test {

namespace {

std::string lowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
  size_t b = 0;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
  return s.substr(b);
}

bool sendAll(int fd, const std::string& data) {
  size_t off = 0;
  while (off < data.size()) {
    ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

const char* reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

}  // namespace

ScriptedAnswer ScriptedAnswer::ok(std::string body, std::string contentType) {
  ScriptedAnswer a;
  a.body = std::move(body);
  a.headers["Content-Type"] = std::move(contentType);
  return a;
}
ScriptedAnswer ScriptedAnswer::withStatus(int status, std::string body) {
  ScriptedAnswer a;
  a.status = status;
  a.body = std::move(body);
  return a;
}
ScriptedAnswer ScriptedAnswer::redirect(const std::string& location, int status) {
  ScriptedAnswer a;
  a.status = status;
  a.headers["Location"] = location;
  return a;
}
ScriptedAnswer ScriptedAnswer::garbage() {
  ScriptedAnswer a;
  a.kind = Kind::garbage;
  return a;
}
ScriptedAnswer ScriptedAnswer::trickle(double secondsPerByte) {
  ScriptedAnswer a;
  a.kind = Kind::trickle;
  a.trickleSeconds = secondsPerByte;
  return a;
}

ScriptedAnswer ScriptedAnswer::stall() {
  ScriptedAnswer a;
  a.kind = Kind::stall;
  return a;
}

HttpTestServer::HttpTestServer() {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::listen(listenFd_, 64);
  socklen_t len = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer() { stop(); }

void HttpTestServer::stop() {
  if (stopping_.exchange(true)) return;
  ::shutdown(listenFd_, SHUT_RDWR);
  ::close(listenFd_);
  {
    std::lock_guard lock(mutex_);
    for (int fd : clientFds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopCv_.notify_all();
  if (acceptThread_.joinable()) acceptThread_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(mutex_);
    workers.swap(workers_);
  }
  for (auto& t : workers) t.join();
}

std::string HttpTestServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpTestServer::route(const std::string& path, ScriptedAnswer answer) {
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(answer);
}

void HttpTestServer::setHandler(std::function<ScriptedAnswer(const RecordedRequest&)> handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<RecordedRequest> HttpTestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> HttpTestServer::requestedPaths() const {
  std::vector<std::string> out;
  for (const auto& r : requests()) out.push_back(r.path);
  return out;
}

size_t HttpTestServer::requestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void HttpTestServer::acceptLoop() {
  while (!stopping_.load()) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (stopping_.load()) return;
      continue;
    }
    std::lock_guard lock(mutex_);
    if (stopping_.load()) {
      ::close(fd);
      return;
    }
    clientFds_.push_back(fd);
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

ScriptedAnswer HttpTestServer::answerFor(const RecordedRequest& r) {
  std::lock_guard lock(mutex_);
  if (handler_) return handler_(r);
  if (auto it = routes_.find(r.path); it != routes_.end()) return it->second;
  return ScriptedAnswer::withStatus(404, "not found");
}

void HttpTestServer::serve(int fd) {
  std::string buffer;
  char chunk[8192];
  // One request per connection: every answer closes it.
  size_t headerEnd = std::string::npos;
  while ((headerEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) {
      ::close(fd);
      return;
    }
    buffer.append(chunk, static_cast<size_t>(n));
  }
  RecordedRequest req;
  std::string head = buffer.substr(0, headerEnd);
  size_t lineEnd = head.find("\r\n");
  std::string requestLine = head.substr(0, lineEnd);
  size_t sp1 = requestLine.find(' ');
  size_t sp2 = requestLine.find(' ', sp1 + 1);
  req.method = requestLine.substr(0, sp1);
  req.path = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
  size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
  while (pos < head.size()) {
    size_t e = head.find("\r\n", pos);
    if (e == std::string::npos) e = head.size();
    std::string line = head.substr(pos, e - pos);
    if (auto c = line.find(':'); c != std::string::npos)
      req.headers[lowerAscii(trim(line.substr(0, c)))] = trim(line.substr(c + 1));
    pos = e + 2;
  }
  size_t contentLength = 0;
  if (auto it = req.headers.find("content-length"); it != req.headers.end())
    contentLength = std::stoul(it->second);
  req.body = buffer.substr(headerEnd + 4);
  while (req.body.size() < contentLength) {
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    req.body.append(chunk, static_cast<size_t>(n));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(req);
  }
  ScriptedAnswer a = answerFor(req);
  switch (a.kind) {
    case ScriptedAnswer::Kind::garbage:
      sendAll(fd, "\x01\x02 this is not a status line\r\n\r\nnonsense");
      break;
    case ScriptedAnswer::Kind::stall: {
      std::unique_lock lock(mutex_);
      stopCv_.wait(lock, [&] { return stopping_.load(); });
      break;
    }
    case ScriptedAnswer::Kind::closeEarly:
      break;
    case ScriptedAnswer::Kind::trickle: {
      if (!sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\nConnection: close\r\n\r\n")) break;
      std::unique_lock lock(mutex_);
      while (!stopping_.load()) {
        lock.unlock();
        if (!sendAll(fd, "a")) break;
        lock.lock();
        stopCv_.wait_for(lock, std::chrono::duration<double>(a.trickleSeconds), [&] { return stopping_.load(); });
      }
      break;
    }
    case ScriptedAnswer::Kind::normal: {
      std::string out = "HTTP/1.1 " + std::to_string(a.status) + " " + reason(a.status) + "\r\n";
      for (const auto& [k, v] : a.headers) out += k + ": " + v + "\r\n";
      if (a.declaredContentLength)
        out += "Content-Length: " + std::to_string(*a.declaredContentLength) + "\r\n";
      else if (!a.omitContentLength)
        out += "Content-Length: " + std::to_string(a.body.size()) + "\r\n";
      out += "Connection: close\r\n\r\n";
      if (sendAll(fd, out)) sendAll(fd, a.body);
      break;
    }
  }
  ::shutdown(fd, SHUT_WR);
  // Drain until the client closes, so it sees an orderly end.
  while (::recv(fd, chunk, sizeof chunk, 0) > 0) {
  }
  {
    std::lock_guard lock(mutex_);
    std::erase(clientFds_, fd);
  }
  ::close(fd);
}

TaskHandle SignallingRunner::postDelayed(double delaySeconds, Task task) {
  TaskHandle h = inner_.postDelayed(delaySeconds, std::move(task));
  {
    std::lock_guard lock(mutex_);
    ++posts_;
  }
  cv_.notify_all();
  return h;
}

bool SignallingRunner::pumpUntil(const std::function<bool()>& done, double deadlineSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(deadlineSeconds);
  while (true) {
    uint64_t seen;
    {
      std::lock_guard lock(mutex_);
      seen = posts_;
    }
    inner_.runUntilIdle();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    if (!cv_.wait_until(lock, deadline, [&] { return posts_ != seen; })) return false;
  }
}

}  // namespace tessa::test
