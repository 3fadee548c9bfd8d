#pragma once
// Local sockets as the kernel tells them: for each one the socket at its
// other end and the address it is bound to or was accepted on (the kernel's
// socket diagnostics), and which process holds which (/proc/<pid>/fd). An
// empty answer where either cannot be read.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessa {

struct UnixSocket {
  uint64_t peer = 0;  // the inode at the other end; 0 when not connected
  std::string name;   // the address; an abstract one starts with '@'
};

// Every unix socket of this network namespace, by inode.
std::unordered_map<uint64_t, UnixSocket> unixSockets();

// The socket inodes each process under `procRoot` holds, by pid, for the
// processes whose descriptors this user may read.
std::map<int64_t, std::vector<uint64_t>> socketsHeldByProcesses(const std::filesystem::path& procRoot);

}  // namespace tessa
