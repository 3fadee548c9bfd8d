#pragma once
// The application: builds the real desktop, the engine's queues and
// settings, the launch guard, the Qt shell and the delegate, runs the event
// loop, and runs the delegate's shut-down as the loop ends (a quit from the
// menu, SIGTERM or SIGINT alike).
#include <memory>
#include <string>
#include <vector>

namespace tessa {

class TessavinorApp {
 public:
  TessavinorApp(int& argc, char** argv);
  ~TessavinorApp();
  int run();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace tessa
