#include "platform/linux/unix_sockets.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace tessa {

namespace {

bool isDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

void readAttributes(const unix_diag_msg& diag, int length, UnixSocket& socket) {
  for (auto* a = reinterpret_cast<const rtattr*>(&diag + 1); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
    const char* data = static_cast<const char*>(RTA_DATA(a));
    const size_t size = RTA_PAYLOAD(a);
    if (a->rta_type == UNIX_DIAG_PEER && size >= sizeof(uint32_t)) {
      uint32_t peer = 0;
      std::memcpy(&peer, data, sizeof peer);
      socket.peer = peer;
    } else if (a->rta_type == UNIX_DIAG_NAME && size > 0) {
      socket.name = data[0] == '\0' ? "@" + std::string(data + 1, size - 1) : std::string(data, strnlen(data, size));
    }
  }
}

}  // namespace

std::unordered_map<uint64_t, UnixSocket> unixSockets() {
  std::unordered_map<uint64_t, UnixSocket> out;
  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (fd < 0) return out;
  struct {
    nlmsghdr header;
    unix_diag_req request;
  } message{};
  message.header.nlmsg_len = sizeof message;
  message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  message.request.sdiag_family = AF_UNIX;
  message.request.udiag_states = ~0u;
  message.request.udiag_show = UDIAG_SHOW_NAME | UDIAG_SHOW_PEER;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
    ::close(fd);
    return out;
  }
  alignas(nlmsghdr) char buffer[32 * 1024];
  for (bool done = false; !done;) {
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    int left = static_cast<int>(n);
    for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
      if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR) {
        done = true;
        break;
      }
      if (h->nlmsg_len < NLMSG_LENGTH(sizeof(unix_diag_msg))) continue;
      const auto* diag = static_cast<const unix_diag_msg*>(NLMSG_DATA(h));
      readAttributes(*diag, static_cast<int>(h->nlmsg_len - NLMSG_LENGTH(sizeof *diag)), out[diag->udiag_ino]);
    }
  }
  ::close(fd);
  return out;
}

std::map<int64_t, std::vector<uint64_t>> socketsHeldByProcesses(const std::filesystem::path& procRoot) {
  namespace fs = std::filesystem;
  std::map<int64_t, std::vector<uint64_t>> out;
  // Processes come and go while they are read: every step takes its error
  // instead of throwing, and a process that went is passed over.
  std::error_code ec;
  for (fs::directory_iterator process(procRoot, ec), end; !ec && process != end; process.increment(ec)) {
    const std::string pid = process->path().filename().string();
    if (!isDigits(pid)) continue;
    std::error_code denied;
    for (fs::directory_iterator fd(process->path() / "fd", denied); !denied && fd != end; fd.increment(denied)) {
      std::error_code gone;
      const std::string target = fs::read_symlink(fd->path(), gone).string();
      // "socket:[12345]"
      if (gone || target.rfind("socket:[", 0) != 0 || target.back() != ']') continue;
      const std::string inode = target.substr(8, target.size() - 9);
      if (isDigits(inode)) out[std::stoll(pid)].push_back(std::stoull(inode));
    }
  }
  return out;
}

}  // namespace tessa
