#include "platform/x11/x11_selection_owner.h"

#include <sys/stat.h>
#include <unistd.h>
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/linux/unix_sockets.h"

namespace tessa {

namespace {

template <class T>
struct Freed {
  T* reply = nullptr;
  ~Freed() { std::free(reply); }
  T* operator->() const { return reply; }
  explicit operator bool() const { return reply != nullptr; }
};

std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(4096, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::string firstLine(const std::string& s) {
  std::string line = s.substr(0, s.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

}  // namespace

struct X11SelectionOwner::Connection {
  xcb_connection_t* c = nullptr;
  bool hasRes = false;
  xcb_atom_t wmPid = XCB_NONE;
  ~Connection() {
    if (c) xcb_disconnect(c);
  }
  xcb_atom_t atom(const std::string& name) const {
    Freed<xcb_intern_atom_reply_t> r{
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr)};
    return r ? r->atom : XCB_NONE;
  }
};

std::unique_ptr<X11SelectionOwner> X11SelectionOwner::open(const char* display, std::filesystem::path procRoot) {
  xcb_connection_t* c = xcb_connect(display, nullptr);
  if (!c || xcb_connection_has_error(c)) {
    if (c) xcb_disconnect(c);
    return nullptr;
  }
  std::unique_ptr<X11SelectionOwner> owner(new X11SelectionOwner());
  owner->procRoot_ = std::move(procRoot);
  owner->c_ = std::make_unique<Connection>();
  owner->c_->c = c;
  owner->c_->wmPid = owner->c_->atom("_NET_WM_PID");
  const xcb_query_extension_reply_t* res = xcb_get_extension_data(c, &xcb_res_id);
  if (res && res->present) {
    // Client identities (with the pid) came with version 1.2.
    Freed<xcb_res_query_version_reply_t> v{
        xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr)};
    owner->c_->hasRes = v && (v->server_major > 1 || (v->server_major == 1 && v->server_minor >= 2));
  }
  return owner;
}

X11SelectionOwner::~X11SelectionOwner() = default;

std::optional<uint32_t> X11SelectionOwner::ownerWindow(const std::string& selection) {
  xcb_atom_t atom = c_->atom(selection);
  if (atom == XCB_NONE) return std::nullopt;
  Freed<xcb_get_selection_owner_reply_t> r{
      xcb_get_selection_owner_reply(c_->c, xcb_get_selection_owner(c_->c, atom), nullptr)};
  if (!r || r->owner == XCB_NONE) return std::nullopt;
  return r->owner;
}

std::optional<RunningApplication> X11SelectionOwner::applicationOf(uint32_t window) {
  xcb_connection_t* c = c_->c;
  int64_t pid = 0;
  std::string instance, windowClass;
  {
    Freed<xcb_get_property_reply_t> r{
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, c_->wmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr)};
    if (r && r->format == 32 && xcb_get_property_value_length(r.reply) >= 4)
      pid = *static_cast<const uint32_t*>(xcb_get_property_value(r.reply));
  }
  {
    Freed<xcb_get_property_reply_t> r{xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr)};
    if (r && r->format == 8) {
      // "instance\0class\0"
      std::string value(static_cast<const char*>(xcb_get_property_value(r.reply)),
                        static_cast<size_t>(xcb_get_property_value_length(r.reply)));
      size_t nul = value.find('\0');
      instance = value.substr(0, nul);
      if (nul != std::string::npos) windowClass = value.substr(nul + 1, value.find('\0', nul + 1) - nul - 1);
    }
  }
  if (pid == 0 && c_->hasRes) {
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    Freed<xcb_res_query_client_ids_reply_t> r{
        xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &spec), nullptr)};
    if (r) {
      for (auto it = xcb_res_query_client_ids_ids_iterator(r.reply); it.rem; xcb_res_client_id_value_next(&it)) {
        if (it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID && xcb_res_client_id_value_value_length(it.data) >= 1) {
          pid = *xcb_res_client_id_value_value(it.data);
          break;
        }
      }
    }
  }
  if (pid > 0 && !std::filesystem::exists(procRoot_ / std::to_string(pid)))
    if (auto carrier = carrierOfConnection(pid)) pid = *carrier;
  if (pid == 0 && instance.empty() && windowClass.empty()) return std::nullopt;

  RunningApplication app;
  app.pid = pid;
  app.bundleID = !windowClass.empty() ? windowClass : instance;
  app.name = app.bundleID;
  if (pid > 0) {
    auto dir = procRoot_ / std::to_string(pid);
    if (app.bundleID.empty())
      if (auto cmdline = readSmallFile(dir / "cmdline"); cmdline && !cmdline->empty())
        app.bundleID = std::filesystem::path(cmdline->substr(0, cmdline->find('\0'))).filename().string();
    if (app.name.empty())
      if (auto comm = readSmallFile(dir / "comm")) app.name = firstLine(*comm);
    if (app.name.empty()) app.name = app.bundleID;
  }
  if (app.name.empty() && app.bundleID.empty()) return std::nullopt;
  return app;
}

// A client that forked after connecting and let the process that connected
// end (xclip goes to the background so once it owns the selection) is known
// to the server by that process's pid, which is gone: its connection, and
// the selection, live on in the child. Of the processes holding a connection
// to this server that no client's own pid accounts for, it is the nearest
// above the one that connected, as a child's pid follows its parent's.
std::optional<int64_t> X11SelectionOwner::carrierOfConnection(int64_t goneConnector) {
  if (!c_->hasRes) return std::nullopt;
  const auto sockets = unixSockets();
  // The server's end of our own connection names the address it accepts
  // its local clients on.
  struct stat own {};
  if (::fstat(xcb_get_file_descriptor(c_->c), &own) != 0) return std::nullopt;
  auto ours = sockets.find(own.st_ino);
  if (ours == sockets.end() || ours->second.peer == 0) return std::nullopt;
  auto serverEnd = sockets.find(ours->second.peer);
  if (serverEnd == sockets.end() || serverEnd->second.name.empty()) return std::nullopt;
  // A client may have come by the abstract address or by the file of the
  // same name.
  auto address = [](const std::string& name) { return name.rfind('@', 0) == 0 ? name.substr(1) : name; };
  const std::string serverAddress = address(serverEnd->second.name);

  std::set<int64_t> accounted;
  xcb_res_client_id_spec_t everyClient{XCB_NONE, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
  Freed<xcb_res_query_client_ids_reply_t> r{
      xcb_res_query_client_ids_reply(c_->c, xcb_res_query_client_ids(c_->c, 1, &everyClient), nullptr)};
  if (!r) return std::nullopt;
  for (auto it = xcb_res_query_client_ids_ids_iterator(r.reply); it.rem; xcb_res_client_id_value_next(&it))
    if (xcb_res_client_id_value_value_length(it.data) >= 1) accounted.insert(*xcb_res_client_id_value_value(it.data));

  for (const auto& [pid, held] : socketsHeldByProcesses(procRoot_)) {
    if (pid <= goneConnector || accounted.count(pid)) continue;
    for (uint64_t inode : held) {
      auto socket = sockets.find(inode);
      if (socket == sockets.end() || socket->second.peer == 0) continue;
      auto other = sockets.find(socket->second.peer);
      if (other != sockets.end() && address(other->second.name) == serverAddress) return pid;
    }
  }
  return std::nullopt;
}

std::optional<RunningApplication> X11SelectionOwner::selectionOwner(const std::string& selection) {
  auto window = ownerWindow(selection);
  if (!window) return std::nullopt;
  return applicationOf(*window);
}

}  // namespace tessa
