#pragma once
// Who owns an X selection: the owner window's WM_CLASS and _NET_WM_PID, and
// where the window says neither (the hidden windows toolkits keep for the
// clipboard often do not, nor does xclip's), the process of the client that
// made it, as the server's X-Resource extension tells it for local clients.
// A client that went to the background after connecting is named by the
// process that carries its connection on. Its own connection, so that it can
// be asked from any thread that holds it.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/workspace.h"

namespace tessa {

class X11SelectionOwner {
 public:
  // Null when the display cannot be opened. `procRoot` is injectable for
  // tests.
  static std::unique_ptr<X11SelectionOwner> open(const char* display, std::filesystem::path procRoot = "/proc");
  ~X11SelectionOwner();

  // The window that owns `selection` ("CLIPBOARD", "PRIMARY"); none when
  // nobody does.
  std::optional<uint32_t> ownerWindow(const std::string& selection = "CLIPBOARD");
  // The application behind `window`: bundle identifier the window class (else
  // the program's file name), name the class (else the process's name), pid
  // when known. None when neither the window nor the server says anything.
  std::optional<RunningApplication> applicationOf(uint32_t window);
  // ownerWindow() and applicationOf() together.
  std::optional<RunningApplication> selectionOwner(const std::string& selection = "CLIPBOARD");

 private:
  X11SelectionOwner() = default;
  std::optional<int64_t> carrierOfConnection(int64_t goneConnector);
  struct Connection;
  std::unique_ptr<Connection> c_;
  std::filesystem::path procRoot_;
};

}  // namespace tessa
