#include "platform/linux/curl_http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <map>
#include <optional>

namespace tessa {

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr long kMaxRedirects = 10;  // [ours]

struct CurlGlobal {
  CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

std::string lowerAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string trimAscii(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return std::string(s.substr(b, e - b));
}

// The scheme of an absolute URL, lower-cased; none when the text is not one.
std::optional<std::string> schemeOf(const std::string& url) {
  CURLU* u = curl_url();
  if (!u) return std::nullopt;
  std::optional<std::string> out;
  if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
    char* scheme = nullptr;
    if (curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme) out = lowerAscii(scheme);
    curl_free(scheme);
  }
  curl_url_cleanup(u);
  return out;
}

}  // namespace

struct CurlHttpClient::Transfer {
  HttpRequest request;
  std::function<void(HttpResponse)> completion;
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  std::string body;
  std::map<std::string, std::string> headers;
  bool tooLarge = false;
  const SteadyClock::time_point startedAt = SteadyClock::now();
  SteadyClock::time_point lastActivity = startedAt;
  curl_off_t lastDown = 0, lastUp = 0;
  char errorBuffer[CURL_ERROR_SIZE] = {0};
  std::string protocols;

  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    if (headerList) curl_slist_free_all(headerList);
  }

  void touch() { lastActivity = SteadyClock::now(); }

  static size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    t->touch();
    if (t->body.size() + n > t->request.maxResponseBytes) {
      t->tooLarge = true;
      return 0;  // ends the transfer with a write error
    }
    t->body.append(data, n);
    return n;
  }

  static size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    t->touch();
    std::string_view line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
      // A new response (after a redirect or an interim 1xx): its own headers.
      t->headers.clear();
    } else if (auto colon = line.find(':'); colon != std::string_view::npos) {
      t->headers[lowerAscii(trimAscii(line.substr(0, colon)))] = trimAscii(line.substr(colon + 1));
    }
    return n;
  }

  static int onProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto* t = static_cast<Transfer*>(user);
    if (dlnow != t->lastDown || ulnow != t->lastUp) {
      t->lastDown = dlnow;
      t->lastUp = ulnow;
      t->touch();
    }
    return 0;
  }
};

CurlHttpClient::CurlHttpClient(TaskRunner& completionRunner) : completionRunner_(completionRunner) {}

CurlHttpClient::~CurlHttpClient() {
  {
    std::lock_guard lock(mutex_);
    stopping_.store(true);
  }
  if (multi_) curl_multi_wakeup(static_cast<CURLM*>(multi_));
  if (worker_.joinable()) worker_.join();
  if (multi_) curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

void CurlHttpClient::startLocked() {
  // Not at start-up: initialising the library loads its TLS back end, and
  // most runs send nothing for a long while.
  if (multi_) return;
  static CurlGlobal global;
  multi_ = curl_multi_init();
  worker_ = std::thread([this] { run(); });
}

void CurlHttpClient::send(HttpRequest request, std::function<void(HttpResponse)> completion) {
  auto t = std::make_unique<Transfer>();
  t->request = std::move(request);
  t->completion = std::move(completion);
  {
    std::lock_guard lock(mutex_);
    if (stopping_.load()) {
      HttpResponse r;
      r.error = "cancelled";
      auto done = std::move(t->completion);
      completionRunner_.post([done = std::move(done), r]() mutable {
        if (done) done(std::move(r));
      });
      return;
    }
    startLocked();
    incoming_.push_back(std::move(t));
  }
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void CurlHttpClient::finish(std::unique_ptr<Transfer> transfer, HttpResponse response) {
  auto done = std::move(transfer->completion);
  transfer.reset();
  if (!done) return;
  completionRunner_.post([done = std::move(done), response = std::move(response)]() mutable {
    done(std::move(response));
  });
}

void CurlHttpClient::run() {
  auto* multi = static_cast<CURLM*>(multi_);
  std::map<CURL*, std::unique_ptr<Transfer>> active;

  auto start = [&](std::unique_ptr<Transfer> t) {
    const HttpRequest& rq = t->request;
    auto scheme = schemeOf(rq.url);
    bool allowed = scheme && std::find(rq.allowedSchemes.begin(), rq.allowedSchemes.end(), *scheme) !=
                                 rq.allowedSchemes.end();
    if (!allowed) {
      HttpResponse r;
      r.error = scheme ? "unsupported URL scheme: " + *scheme : "invalid URL";
      finish(std::move(t), std::move(r));
      return;
    }
    for (size_t i = 0; i < rq.allowedSchemes.size(); ++i)
      t->protocols += (i ? "," : "") + lowerAscii(rq.allowedSchemes[i]);

    CURL* e = curl_easy_init();
    if (!e) {
      HttpResponse r;
      r.error = "could not create a transfer";
      finish(std::move(t), std::move(r));
      return;
    }
    t->easy = e;
    curl_easy_setopt(e, CURLOPT_URL, rq.url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, t->protocols.c_str());
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, t->protocols.c_str());
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, rq.followRedirects ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errorBuffer);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, t.get());
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    long connectMs = std::max(1L, static_cast<long>(rq.timeoutSeconds * 1000.0));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    if (rq.maxResponseBytes < static_cast<uint64_t>(INT64_MAX))
      curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(rq.maxResponseBytes));

    std::string method = rq.method.empty() ? "GET" : rq.method;
    if (method == "GET") {
      curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (method == "POST") {
      curl_easy_setopt(e, CURLOPT_POST, 1L);
    } else {
      curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    if (method != "GET" || !rq.body.empty()) {
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(rq.body.size()));
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, rq.body.data());
    }
    // No "Expect: 100-continue" round trip: the body is small.
    t->headerList = curl_slist_append(t->headerList, "Expect:");
    for (const auto& [name, value] : rq.headers)
      t->headerList = curl_slist_append(t->headerList, (name + ": " + value).c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headerList);

    t->touch();
    if (curl_multi_add_handle(multi, e) != CURLM_OK) {
      HttpResponse r;
      r.error = "could not start the transfer";
      finish(std::move(t), std::move(r));
      return;
    }
    active.emplace(e, std::move(t));
  };

  auto complete = [&](CURL* e, CURLcode code) {
    auto it = active.find(e);
    if (it == active.end()) return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    active.erase(it);
    curl_multi_remove_handle(multi, e);
    HttpResponse r;
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (t->tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
      r.error = "response too large";
    } else if (code != CURLE_OK) {
      r.error = t->errorBuffer[0] ? std::string(t->errorBuffer) : std::string(curl_easy_strerror(code));
    } else {
      r.status = static_cast<int>(status);
      r.headers = std::move(t->headers);
      r.body = std::move(t->body);
    }
    if (!r.error.empty()) r.status = 0;
    finish(std::move(t), std::move(r));
  };

  while (true) {
    std::deque<std::unique_ptr<Transfer>> fresh;
    {
      std::lock_guard lock(mutex_);
      fresh.swap(incoming_);
    }
    if (stopping_.load()) {
      for (auto& t : fresh) {
        HttpResponse r;
        r.error = "cancelled";
        finish(std::move(t), std::move(r));
      }
      for (auto& [e, t] : active) {
        curl_multi_remove_handle(multi, e);
        HttpResponse r;
        r.error = "cancelled";
        finish(std::move(t), std::move(r));
      }
      active.clear();
      return;
    }
    for (auto& t : fresh) start(std::move(t));

    int running = 0;
    curl_multi_perform(multi, &running);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
      if (msg->msg == CURLMSG_DONE) complete(msg->easy_handle, msg->data.result);
    }

    // Idle time-out: nothing received or sent for the request's time; and
    // the overall deadline, which a server sending a byte now and then
    // cannot push back.
    auto now = SteadyClock::now();
    std::vector<CURL*> idle;
    for (auto& [e, t] : active) {
      auto limit = std::chrono::duration<double>(t->request.timeoutSeconds);
      auto deadline = std::chrono::duration<double>(t->request.overallDeadlineSeconds());
      if (now - t->lastActivity > limit || now - t->startedAt > deadline) idle.push_back(e);
    }
    for (CURL* e : idle) {
      auto it = active.find(e);
      std::unique_ptr<Transfer> t = std::move(it->second);
      active.erase(it);
      curl_multi_remove_handle(multi, e);
      HttpResponse r;
      r.error = "timed out";
      finish(std::move(t), std::move(r));
    }

    // Short polls while transfers run, so idle time-outs are noticed
    // promptly; with none, asleep until a request or the end wakes it.
    constexpr int kAsleepMs = 24 * 60 * 60 * 1000;
    int waitMs = active.empty() ? kAsleepMs : 50;
    curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
  }
}

}  // namespace tessa
