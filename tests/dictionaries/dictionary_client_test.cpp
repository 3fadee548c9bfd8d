#include "dictionaries/dictionary_client.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/linux/curl_http_client.h"
#include "support/http_test_server.h"

namespace tessa {
namespace {

using test::HttpTestServer;
using test::ScriptedAnswer;
using test::SignallingRunner;

TEST(DictionaryClientLanguage, FirstThaiOrLaoCodePointDecides) {
  EXPECT_EQ(DictionaryClient::detectLanguage("abc ไทย ລາວ"), "th");
  EXPECT_EQ(DictionaryClient::detectLanguage("ລາວ ไทย"), "lo");
  EXPECT_EQ(DictionaryClient::detectLanguage("hello"), "en");
  EXPECT_EQ(DictionaryClient::detectLanguage(""), "en");
  // The block edges belong to their scripts.
  EXPECT_EQ(DictionaryClient::detectLanguage("x\u0E7F"), "th");
  EXPECT_EQ(DictionaryClient::detectLanguage("x\u0E80"), "lo");
  EXPECT_EQ(DictionaryClient::detectLanguage("x\u0EFFไ"), "lo");
}

class DictionaryClientTest : public ::testing::Test {
 protected:
  DictionaryClientTest() : runner(clock), signalling(runner), http(signalling) {}

  std::optional<ClientError> suggest(const DictionaryClient& client, const std::string& word) {
    bool done = false;
    std::optional<ClientError> error;
    client.suggest(word, "the context", "the reason", [&](std::optional<ClientError> e) {
      error = std::move(e);
      done = true;
    });
    EXPECT_TRUE(signalling.pumpUntil([&] { return done; }));
    return error;
  }

  ManualClock clock;
  ManualTaskRunner runner;
  SignallingRunner signalling;
  HttpTestServer server;
  CurlHttpClient http;
};

TEST_F(DictionaryClientTest, PostsTheTrimmedWordWithTheLanguageOfTheUntrimmedOne) {
  server.route("/v1/suggest", ScriptedAnswer::ok("{\"ignored\": true}", "application/json"));
  DictionaryClient client(server.url("/v1/suggest"), http);
  EXPECT_FALSE(suggest(client, "  ສະບາຍດີ\n").has_value());

  auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 1u);
  EXPECT_EQ(reqs[0].method, "POST");
  EXPECT_EQ(reqs[0].path, "/v1/suggest");
  EXPECT_EQ(reqs[0].headers["content-type"], "application/json");
  auto body = nlohmann::json::parse(reqs[0].body);
  EXPECT_EQ(body, (nlohmann::json{{"word", "ສະບາຍດີ"}, {"lang", "lo"}, {"context", "the context"},
                                  {"reason", "the reason"}}));
  // Compact, not pretty-printed.
  EXPECT_EQ(reqs[0].body.find('\n'), std::string::npos);
}

TEST_F(DictionaryClientTest, OnlyTwoHundredSucceeds) {
  DictionaryClient client(server.url("/s"), http);
  for (int status : {201, 204, 404, 503}) {
    server.route("/s", ScriptedAnswer::withStatus(status));
    auto error = suggest(client, "word");
    ASSERT_TRUE(error.has_value()) << status;
    EXPECT_EQ(error->domain, "DictionaryClient");
    EXPECT_EQ(error->code, status);
    EXPECT_EQ(error->localizedDescription, "ส่งคำแนะนำไม่สำเร็จ (Code: " + std::to_string(status) + ")");
  }
  server.route("/s", ScriptedAnswer::ok("anything at all"));
  EXPECT_FALSE(suggest(client, "word").has_value());
}

TEST_F(DictionaryClientTest, TextThatCannotBeEncodedIsNeverSent) {
  DictionaryClient client(server.url("/s"), http);
  std::optional<ClientError> error;
  bool done = false;
  client.suggest("ab\xff", "", "", [&](std::optional<ClientError> e) {
    error = std::move(e);
    done = true;
  });
  EXPECT_TRUE(done) << "refused before anything leaves";
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain, DictionaryClient::encodingErrorDomain);
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(DictionaryClientTest, TransportFailuresAreNotStatusErrors) {
  server.route("/garbage", ScriptedAnswer::garbage());
  server.route("/stall", ScriptedAnswer::stall());
  DictionaryClient garbage(server.url("/garbage"), http);
  auto e1 = suggest(garbage, "word");
  ASSERT_TRUE(e1);
  EXPECT_NE(e1->domain, "DictionaryClient");

  DictionaryClient stalled(server.url("/stall"), http);
  stalled.requestTimeout = 0.3;
  auto e2 = suggest(stalled, "word");
  ASSERT_TRUE(e2);
  EXPECT_EQ(e2->localizedDescription, "timed out");

  // Only http and https leave the machine.
  DictionaryClient file("file:///etc/hostname", http);
  auto e3 = suggest(file, "word");
  ASSERT_TRUE(e3);
  EXPECT_NE(e3->domain, "DictionaryClient");
}

}  // namespace
}  // namespace tessa
