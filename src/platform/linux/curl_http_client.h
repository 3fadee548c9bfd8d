#pragma once
// HTTP(S) through libcurl. Requests run on one worker thread (a curl multi
// loop), started with the first request and asleep while none runs; each
// completion is posted to the runner the client was made with, the main
// queue in the application.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "base/task_runner.h"
#include "platform/http_client.h"

namespace tessa {

class CurlHttpClient final : public HttpClient {
 public:
  explicit CurlHttpClient(TaskRunner& completionRunner);
  // Ends the worker; requests still running complete with the error
  // "cancelled".
  ~CurlHttpClient() override;

  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  // `timeoutSeconds` is an idle time-out: the request fails when nothing
  // arrives for that long; `deadlineSeconds` bounds the whole request, so a
  // server that trickles a byte now and then cannot keep it open. The body is
  // read up to `maxResponseBytes`; a longer one fails with "response too
  // large". Only the request's allowed schemes are used, for redirects too.
  void send(HttpRequest request, std::function<void(HttpResponse)> completion) override;

 private:
  struct Transfer;
  void run();
  void finish(std::unique_ptr<Transfer> transfer, HttpResponse response);
  // Under mutex_: the library, the multi handle and the worker, once.
  void startLocked();

  TaskRunner& completionRunner_;
  void* multi_ = nullptr;  // CURLM*
  std::mutex mutex_;
  std::deque<std::unique_ptr<Transfer>> incoming_;
  std::atomic<bool> stopping_{false};
  std::thread worker_;
};

}  // namespace tessa
