#pragma once
// A tiny threaded HTTP/1.1 server on 127.0.0.1 with scripted answers, for
// tests of the HTTP client and its users. Nothing reads the real network.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/task_runner.h"

namespace tessa::test {

struct RecordedRequest {
  std::string method;
  std::string path;  // with the query, as sent
  std::map<std::string, std::string> headers;  // names lower-cased
  std::string body;
};

struct ScriptedAnswer {
  enum class Kind {
    normal,     // status line, headers, body
    garbage,    // bytes that are not HTTP, then close
    stall,      // read the request and never answer (until the server stops)
    closeEarly, // close the connection without a byte
    trickle     // headers announcing the body, then one byte of it every
                // `trickleSeconds`, until the server stops
  };
  Kind kind = Kind::normal;
  int status = 200;
  std::map<std::string, std::string> headers;
  std::string body;
  // Send the body without a Content-Length, ended by closing the connection.
  bool omitContentLength = false;
  // Declare this length instead of the body's own (a huge download that a
  // client must refuse from its headers alone).
  std::optional<uint64_t> declaredContentLength;
  double trickleSeconds = 0.5;

  static ScriptedAnswer ok(std::string body, std::string contentType = "text/plain");
  static ScriptedAnswer withStatus(int status, std::string body = {});
  static ScriptedAnswer redirect(const std::string& location, int status = 302);
  static ScriptedAnswer garbage();
  static ScriptedAnswer stall();
  static ScriptedAnswer trickle(double secondsPerByte);
};

class HttpTestServer {
 public:
  HttpTestServer();
  ~HttpTestServer();

  uint16_t port() const { return port_; }
  std::string url(const std::string& path) const;

  // Answers for exact paths (query included); anything else gets 404.
  void route(const std::string& path, ScriptedAnswer answer);
  // Or decide per request.
  void setHandler(std::function<ScriptedAnswer(const RecordedRequest&)> handler);

  std::vector<RecordedRequest> requests() const;
  std::vector<std::string> requestedPaths() const;
  size_t requestCount() const;
  void stop();

 private:
  void acceptLoop();
  void serve(int fd);
  ScriptedAnswer answerFor(const RecordedRequest& r);

  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stopCv_;
  std::map<std::string, ScriptedAnswer> routes_;
  std::function<ScriptedAnswer(const RecordedRequest&)> handler_;
  std::vector<RecordedRequest> requests_;
  std::vector<int> clientFds_;
  std::vector<std::thread> workers_;
  std::thread acceptThread_;
};

// Wraps the test's ManualTaskRunner so that a thread posting to it (the HTTP
// worker handing back a completion) wakes a test blocked in pumpUntil. The
// wait is bounded by a real deadline only so a broken test fails instead of
// hanging; nothing is timed by it.
class SignallingRunner final : public TaskRunner {
 public:
  explicit SignallingRunner(ManualTaskRunner& inner) : inner_(inner) {}
  TaskHandle postDelayed(double delaySeconds, Task task) override;
  bool runsTasksOnCurrentThread() const override { return inner_.runsTasksOnCurrentThread(); }
  void runSync(Task task) override { inner_.runSync(std::move(task)); }

  // Runs the inner runner's due work until `done` holds, blocking between
  // posts. False when the deadline passed first.
  bool pumpUntil(const std::function<bool()>& done, double deadlineSeconds = 20.0);

 private:
  ManualTaskRunner& inner_;
  std::mutex mutex_;
  std::condition_variable cv_;
  uint64_t posts_ = 0;
};

}  // namespace tessa::test
