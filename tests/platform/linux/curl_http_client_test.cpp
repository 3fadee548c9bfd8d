#include "platform/linux/curl_http_client.h"
#include "platform/linux/module_services.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/http_test_server.h"

namespace tessa {
namespace {

using test::HttpTestServer;
using test::ScriptedAnswer;
using test::SignallingRunner;

class CurlHttpClientTest : public ::testing::Test {
 protected:
  CurlHttpClientTest() : runner(clock), signalling(runner), client(std::make_unique<CurlHttpClient>(signalling)) {}

  HttpResponse fetch(HttpRequest request) {
    std::optional<HttpResponse> out;
    client->send(std::move(request), [&](HttpResponse r) { out = std::move(r); });
    EXPECT_TRUE(signalling.pumpUntil([&] { return out.has_value(); }));
    return out.value_or(HttpResponse{});
  }
  HttpResponse get(const std::string& path, double timeout = 5, uint64_t maxBytes = 1 << 20) {
    HttpRequest r;
    r.url = server.url(path);
    r.timeoutSeconds = timeout;
    r.maxResponseBytes = maxBytes;
    return fetch(std::move(r));
  }

  ManualClock clock;
  ManualTaskRunner runner;
  SignallingRunner signalling;
  HttpTestServer server;
  std::unique_ptr<CurlHttpClient> client;
};

// The application's client: libcurl loaded from its module with the first
// request.
TEST_F(CurlHttpClientTest, TheClientLoadedWithItsFirstRequestAnswersTheSame) {
  server.route("/hello", ScriptedAnswer::ok("hi there", "text/plain"));
  client.reset();
  ModuleHttpClient loaded(signalling);
  std::optional<HttpResponse> out;
  HttpRequest r;
  r.url = server.url("/hello");
  loaded.send(r, [&](HttpResponse resp) { out = std::move(resp); });
  ASSERT_TRUE(signalling.pumpUntil([&] { return out.has_value(); }));
  EXPECT_TRUE(out->ok()) << out->error;
  EXPECT_EQ(out->body, "hi there");

  std::string why;
  EXPECT_EQ(openServiceModule("libtessavinor-none.so", &why), nullptr);
  EXPECT_EQ(why, "libtessavinor-none.so is not installed");
}

TEST_F(CurlHttpClientTest, GoodAnswerArrivesOnTheGivenRunnerWithStatusHeadersAndBody) {
  server.route("/hello", ScriptedAnswer::ok("hi there", "text/plain; charset=utf-8"));
  std::thread::id completionThread;
  std::optional<HttpResponse> out;
  HttpRequest r;
  r.url = server.url("/hello");
  client->send(r, [&](HttpResponse resp) {
    completionThread = std::this_thread::get_id();
    out = std::move(resp);
  });
  ASSERT_TRUE(signalling.pumpUntil([&] { return out.has_value(); }));
  EXPECT_EQ(completionThread, std::this_thread::get_id());
  EXPECT_TRUE(out->ok());
  EXPECT_EQ(out->status, 200);
  EXPECT_EQ(out->body, "hi there");
  EXPECT_EQ(out->headers["content-type"], "text/plain; charset=utf-8");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].method, "GET");
}

TEST_F(CurlHttpClientTest, PostSendsBodyAndHeadersWithoutWaitingForContinue) {
  server.route("/post", ScriptedAnswer::ok("done"));
  HttpRequest r;
  r.method = "POST";
  r.url = server.url("/post");
  r.headers["Content-Type"] = "application/json";
  r.body = std::string(4000, 'x');  // large enough that a client would ask for 100-continue
  HttpResponse resp = fetch(r);
  EXPECT_EQ(resp.status, 200);
  auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].method, "POST");
  EXPECT_EQ(reqs[0].headers["content-type"], "application/json");
  EXPECT_EQ(reqs[0].body, r.body);
  EXPECT_EQ(reqs[0].headers.count("expect"), 0u);
}

TEST_F(CurlHttpClientTest, ErrorStatusesAreAnswersNotTransportErrors) {
  server.route("/gone", ScriptedAnswer::withStatus(404, "nope"));
  server.route("/busy", ScriptedAnswer::withStatus(503));
  HttpResponse gone = get("/gone");
  EXPECT_TRUE(gone.error.empty());
  EXPECT_EQ(gone.status, 404);
  EXPECT_EQ(gone.body, "nope");
  EXPECT_EQ(get("/busy").status, 503);
}

TEST_F(CurlHttpClientTest, GarbageAndClosedPortsAreTransportErrors) {
  server.route("/garbage", ScriptedAnswer::garbage());
  HttpResponse garbage = get("/garbage");
  EXPECT_FALSE(garbage.error.empty());
  EXPECT_EQ(garbage.status, 0);
  EXPECT_FALSE(garbage.ok());

  uint16_t closedPort;
  {
    HttpTestServer other;
    closedPort = other.port();
  }
  HttpRequest r;
  r.url = "http://127.0.0.1:" + std::to_string(closedPort) + "/x";
  HttpResponse refused = fetch(r);
  EXPECT_FALSE(refused.error.empty());
  EXPECT_EQ(refused.status, 0);
}

TEST_F(CurlHttpClientTest, StalledServerFailsAfterTheIdleTimeout) {
  server.route("/stall", ScriptedAnswer::stall());
  HttpResponse r = get("/stall", /*timeout=*/0.3);
  EXPECT_EQ(r.error, "timed out");
  EXPECT_EQ(r.status, 0);
}

TEST_F(CurlHttpClientTest, AServerTricklingItsAnswerFailsAtTheOverallDeadline) {
  // A byte every 0.1 s never lets the 0.5 s idle time-out fire.
  server.route("/trickle", ScriptedAnswer::trickle(0.1));
  HttpRequest request;
  request.url = server.url("/trickle");
  request.timeoutSeconds = 0.5;
  request.deadlineSeconds = 1.0;
  std::optional<HttpResponse> out;
  client->send(std::move(request), [&](HttpResponse r) { out = std::move(r); });
  // Bounded well above the deadline: without it the request never ends.
  ASSERT_TRUE(signalling.pumpUntil([&] { return out.has_value(); }, 8.0));
  EXPECT_EQ(out->error, "timed out");
  EXPECT_EQ(out->status, 0);

  // Unless a caller says otherwise, the deadline grows with the answer allowed.
  HttpRequest small;
  EXPECT_DOUBLE_EQ(small.overallDeadlineSeconds(), 120.0 + 16.0);
  small.maxResponseBytes = 64ull << 20;
  EXPECT_DOUBLE_EQ(small.overallDeadlineSeconds(), 120.0 + 1024.0);
}

TEST_F(CurlHttpClientTest, BodiesAreReadOnlyUpToTheLimit) {
  ScriptedAnswer big = ScriptedAnswer::ok(std::string(300000, 'a'));
  server.route("/big", big);
  big.omitContentLength = true;  // the cap must hold without a declared length too
  server.route("/big-undeclared", big);
  server.route("/fits", ScriptedAnswer::ok(std::string(1000, 'b')));
  EXPECT_EQ(get("/big", 5, 100000).error, "response too large");
  EXPECT_EQ(get("/big-undeclared", 5, 100000).error, "response too large");
  EXPECT_EQ(get("/fits", 5, 1000).body.size(), 1000u);
}

TEST_F(CurlHttpClientTest, RedirectsFollowOnlyToAllowedSchemes) {
  server.route("/old", ScriptedAnswer::redirect(server.url("/new")));
  server.route("/new", ScriptedAnswer::ok("moved here"));
  server.route("/to-file", ScriptedAnswer::redirect("file:///etc/passwd"));
  server.route("/to-ftp", ScriptedAnswer::redirect("ftp://127.0.0.1/x"));

  HttpResponse followed = get("/old");
  EXPECT_EQ(followed.status, 200);
  EXPECT_EQ(followed.body, "moved here");

  EXPECT_FALSE(get("/to-file").error.empty());
  EXPECT_FALSE(get("/to-ftp").error.empty());

  HttpRequest noFollow;
  noFollow.url = server.url("/old");
  noFollow.followRedirects = false;
  EXPECT_EQ(fetch(noFollow).status, 302);
}

TEST_F(CurlHttpClientTest, RequestsOutsideTheAllowedSchemesNeverLeave) {
  HttpRequest file;
  file.url = "file:///etc/hostname";
  HttpResponse r = fetch(file);
  EXPECT_FALSE(r.error.empty());
  EXPECT_TRUE(r.body.empty());

  HttpRequest httpsOnly;
  httpsOnly.url = server.url("/plain");
  httpsOnly.allowedSchemes = {"https"};
  EXPECT_FALSE(fetch(httpsOnly).error.empty());
  EXPECT_EQ(server.requestCount(), 0u);

  HttpRequest notAUrl;
  notAUrl.url = "not a url";
  EXPECT_FALSE(fetch(notAUrl).error.empty());
}

TEST_F(CurlHttpClientTest, ConcurrentRequestsDoNotWaitForAStalledOne) {
  server.route("/stall", ScriptedAnswer::stall());
  server.route("/quick", ScriptedAnswer::ok("quick"));
  std::optional<HttpResponse> stalled, quick;
  HttpRequest s;
  s.url = server.url("/stall");
  s.timeoutSeconds = 30;
  client->send(s, [&](HttpResponse r) { stalled = std::move(r); });
  HttpRequest q;
  q.url = server.url("/quick");
  client->send(q, [&](HttpResponse r) { quick = std::move(r); });
  ASSERT_TRUE(signalling.pumpUntil([&] { return quick.has_value(); }));
  EXPECT_EQ(quick->body, "quick");
  EXPECT_FALSE(stalled.has_value());

  // Ending the client cancels what still runs; its completion still arrives.
  client.reset();
  ASSERT_TRUE(signalling.pumpUntil([&] { return stalled.has_value(); }));
  EXPECT_EQ(stalled->error, "cancelled");
}

}  // namespace
}  // namespace tessa
