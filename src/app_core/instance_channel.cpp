#include "app_core/instance_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "app_core/status_menu_model.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxRequest = 256;
constexpr double kClientReadSeconds = 2.0;
// Connections waiting for their line at once.
constexpr size_t kMaxClients = 32;

bool socketAddress(const fs::path& path, sockaddr_un* addr, std::string* why) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  const std::string s = path.string();
  if (s.empty() || s.size() >= sizeof addr->sun_path) {
    if (why) *why = "the socket path is too long: " + s;
    return false;
  }
  std::memcpy(addr->sun_path, s.c_str(), s.size() + 1);
  return true;
}

std::string errnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Reads up to a newline, within the deadline; none on timeout or error.
std::optional<std::string> readLine(int fd, double timeoutSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  std::string line;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char chunk[64];
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    line.append(chunk, static_cast<size_t>(n));
    if (auto nl = line.find('\n'); nl != std::string::npos) {
      line.resize(nl);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (line.size() > kMaxRequest) return std::nullopt;
  }
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string knownList() {
  std::string out;
  for (const auto& name : InstanceChannel::knownActions()) out += (out.empty() ? "" : ", ") + name;
  return out;
}

}  // namespace

const std::vector<std::string>& InstanceChannel::knownActions() {
  static const std::vector<std::string> names{"openQuickPaste", "toggleCopyCache", "clearCopyCache"};
  return names;
}

bool InstanceChannel::isKnownAction(std::string_view name) {
  const auto& names = knownActions();
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool InstanceChannel::perform(StatusMenuActions& actions, std::string_view name) {
  if (name == "openQuickPaste") actions.openQuickPaste();
  else if (name == "toggleCopyCache") actions.toggleCopyCache();
  else if (name == "clearCopyCache") actions.clearCopyCache();
  else return false;
  return true;
}

fs::path InstanceChannel::socketPathFor(const fs::path& lockPath) {
  return lockPath.parent_path() / (lockPath.stem().string() + ".actions");
}

std::unique_ptr<InstanceChannel> InstanceChannel::listen(const fs::path& path, TaskRunner& main, Handler handler,
                                                         std::string* why) {
  sockaddr_un addr;
  if (!socketAddress(path, &addr, why)) return nullptr;
  std::unique_ptr<InstanceChannel> channel(new InstanceChannel());
  channel->path_ = path;
  channel->main_ = &main;
  channel->handler_ = std::make_shared<Handler>(std::move(handler));
  channel->listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (channel->listenFd_ < 0) {
    if (why) *why = errnoText("socket");
    return nullptr;
  }
  // A socket left by an instance that ended without removing it.
  std::error_code ec;
  fs::remove(path, ec);
  // Owner-only from the start: the folder usually is already, the mask
  // makes sure of the socket itself.
  mode_t previous = ::umask(0177);
  int bound = ::bind(channel->listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::umask(previous);
  if (bound != 0 || ::listen(channel->listenFd_, 8) != 0) {
    if (why) *why = errnoText("bind");
    return nullptr;
  }
  ::chmod(path.c_str(), 0600);
  if (::pipe2(channel->wakeFds_, O_CLOEXEC) != 0) {
    if (why) *why = errnoText("pipe");
    return nullptr;
  }
  channel->thread_ = std::thread([raw = channel.get()] { raw->serve(); });
  return channel;
}

InstanceChannel::~InstanceChannel() {
  if (thread_.joinable()) {
    char stop = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFds_[1], &stop, 1);
    thread_.join();
  }
  for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]})
    if (fd >= 0) ::close(fd);
  if (listenFd_ >= 0) {
    std::error_code ec;
    fs::remove(path_, ec);
  }
}

void InstanceChannel::serve() {
  // Every connection is served side by side: one that sends nothing holds
  // up only itself, until its own deadline.
  struct Client {
    int fd;
    std::string buffer;
    std::chrono::steady_clock::time_point deadline;
  };
  std::vector<Client> clients;
  auto finish = [](Client& c, const char* reply) {
    if (reply) writeAll(c.fd, reply);
    ::close(c.fd);
    c.fd = -1;
  };
  for (;;) {
    std::vector<pollfd> fds{{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    auto now = std::chrono::steady_clock::now();
    int timeout = -1;
    for (const auto& c : clients) {
      fds.push_back({c.fd, POLLIN, 0});
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - now).count() + 1;
      timeout = timeout < 0 ? static_cast<int>(std::max<long long>(left, 0))
                            : std::min(timeout, static_cast<int>(std::max<long long>(left, 0)));
    }
    int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && (fds[1].revents & POLLIN)) break;
    now = std::chrono::steady_clock::now();
    for (size_t i = 0; i < clients.size(); ++i) {
      Client& c = clients[i];
      const short revents = ready > 0 ? fds[i + 2].revents : 0;
      if (revents & (POLLIN | POLLHUP | POLLERR)) {
        char chunk[128];
        ssize_t n = ::recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
          finish(c, nullptr);
          continue;
        }
        c.buffer.append(chunk, static_cast<size_t>(n));
        if (auto nl = c.buffer.find('\n'); nl != std::string::npos) {
          std::string line = c.buffer.substr(0, nl);
          if (!line.empty() && line.back() == '\r') line.pop_back();
          writeAll(c.fd, answer(line));
          finish(c, nullptr);
        } else if (c.buffer.size() > kMaxRequest) {
          finish(c, "BAD\n");
        }
      } else if (now >= c.deadline) {
        finish(c, "BAD\n");
      }
    }
    std::erase_if(clients, [](const Client& c) { return c.fd < 0; });
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) continue;
      // Another user's process has no business here, whatever the file's mode.
      ucred peer{};
      socklen_t length = sizeof peer;
      if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::geteuid()) {
        writeAll(fd, "REFUSED\n");
        ::close(fd);
        continue;
      }
      // A crowd of idle connections loses its oldest, never the newcomer.
      if (clients.size() >= kMaxClients) {
        finish(clients.front(), "BAD\n");
        clients.erase(clients.begin());
      }
      clients.push_back(Client{fd, {}, now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                 std::chrono::duration<double>(kClientReadSeconds))});
    }
  }
  for (auto& c : clients) ::close(c.fd);
}

std::string InstanceChannel::answer(const std::string& line) {
  if (line.rfind("ACTION ", 0) != 0) return "BAD\n";
  std::string name = line.substr(7);
  if (!isKnownAction(name)) return "UNKNOWN\n";
  main_->post([handler = handler_, name] { (*handler)(name); });
  return "OK\n";
}

InstanceChannel::SendResult InstanceChannel::send(const fs::path& path, const std::string& action,
                                                  std::string* detail, double timeoutSeconds) {
  if (!isKnownAction(action)) return SendResult::unknownAction;
  sockaddr_un addr;
  if (!socketAddress(path, &addr, detail)) return SendResult::failed;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (detail) *detail = errnoText("socket");
    return SendResult::failed;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    // No socket, or one nobody listens on: the application is not running.
    if (errno == ENOENT || errno == ECONNREFUSED) return SendResult::notRunning;
    if (detail) *detail = errnoText("connect");
    return SendResult::failed;
  }
  if (!writeAll(fd, "ACTION " + action + "\n")) {
    if (detail) *detail = errnoText("send");
    return SendResult::failed;
  }
  auto reply = readLine(fd, timeoutSeconds);
  if (!reply) {
    if (detail) *detail = "the running instance did not answer";
    return SendResult::failed;
  }
  if (*reply == "OK") return SendResult::accepted;
  if (*reply == "UNKNOWN") return SendResult::unknownAction;
  if (detail) *detail = "the running instance refused the request (" + *reply + ")";
  return SendResult::failed;
}

std::optional<InstanceChannel::CommandOutcome> InstanceChannel::runCommand(const std::vector<std::string>& args,
                                                                           const fs::path& socketPath) {
  auto it = std::find(args.begin(), args.end(), kActionArgument);
  std::optional<std::string> name;
  if (it != args.end()) {
    if (std::next(it) != args.end()) name = *std::next(it);
  } else {
    // --action=NAME
    const std::string prefix = std::string(kActionArgument) + "=";
    auto eq = std::find_if(args.begin(), args.end(), [&](const std::string& a) { return a.rfind(prefix, 0) == 0; });
    if (eq == args.end()) return std::nullopt;
    name = eq->substr(prefix.size());
  }
  if (!name || name->empty())
    return CommandOutcome{2, "tessavinor: --action needs a name (one of " + knownList() + ")"};
  if (!isKnownAction(*name))
    return CommandOutcome{2, "tessavinor: unknown action \"" + *name + "\" (known: " + knownList() + ")"};
  std::string detail;
  switch (send(socketPath, *name, &detail)) {
    case SendResult::accepted: return CommandOutcome{0, ""};
    case SendResult::unknownAction:
      return CommandOutcome{2, "tessavinor: the running instance does not know the action \"" + *name + "\""};
    case SendResult::notRunning: return CommandOutcome{1, "tessavinor: Tessavinor is not running"};
    case SendResult::failed: break;
  }
  return CommandOutcome{1, "tessavinor: the action could not be sent: " + detail};
}

}  // namespace tessa
