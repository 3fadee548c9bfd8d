#pragma once
// Reads the X11 CLIPBOARD selection on a thread and a server connection of
// its own, so that an owner that answers slowly, partly or never holds up
// nothing but this reader. A read asks first for TARGETS and then only for
// the types it wants among those listed; the whole copy must arrive within
// one deadline, and a copy larger than the reader may take is refused from
// the size the owner announces (an INCR transfer's length, or the
// property's size) before any of it is read.
//
// Plain xcb; nothing here touches Qt or the main queue.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessa {

struct X11ClipboardContents {
  enum class Outcome { read, empty, timedOut, tooLarge, failed };
  Outcome outcome = Outcome::empty;
  // Target name (as the owner listed it) -> the bytes it sent.
  std::map<std::string, std::string> targets;
  // For tooLarge: the size announced or received when the read stopped.
  uint64_t bytes = 0;
};

class X11ClipboardReader {
 public:
  using Done = std::function<void(X11ClipboardContents)>;

  // Null, with the reason in `why`, when the display cannot be opened.
  static std::unique_ptr<X11ClipboardReader> open(const std::string& displayName, std::string* why = nullptr);
  ~X11ClipboardReader();
  X11ClipboardReader(const X11ClipboardReader&) = delete;
  X11ClipboardReader& operator=(const X11ClipboardReader&) = delete;

  // Starts reading the clipboard. `done` runs on the reader's thread. A read
  // still going is abandoned for this one, and its `done` never runs.
  void read(double deadlineSeconds, uint64_t maxBytes, Done done);

  // The types worth asking for among those an owner lists, in the order
  // asked: the markers other writers add, one text type, and the kinds of
  // data the history keeps; some other MIME type only when none of those is
  // there.
  static std::vector<std::string> chooseTargets(const std::vector<std::string>& offered);

 private:
  struct Connection;
  struct Request {
    uint64_t generation = 0;
    double deadlineSeconds = 0;
    uint64_t maxBytes = 0;
    Done done;
  };
  explicit X11ClipboardReader(std::unique_ptr<Connection> connection);
  void run();
  X11ClipboardContents perform(const Request& request);
  bool superseded(uint64_t generation);

  std::unique_ptr<Connection> connection_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  uint64_t generation_ = 0;
  std::unique_ptr<Request> pending_;
  std::thread thread_;
};

}  // namespace tessa
