#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <stdexcept>

#include <windows.h>
#include <wininet.h>

#include "service/base64.h"
#include "service/request.h"
#include "service/retrieve.h"
#include "tools/testing/loopback_server.h"
#include "tools/testing/proxy_setting.h"

namespace {

using namespace std::chrono_literals;

std::string Pattern(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return body;
}

// Whatever the status, behind what reply held before.
TEST(RetrieveUrl, TheBodyArrivesWholeAndInOrder) {
  const struct {
    int Status;
    std::string Body;
  } cases[] = {{404, "<h1>Not here</h1>"}, {200, Pattern(700 * 1024 + 13)}};
  for (const auto& c : cases) {
    TLoopbackServer server([&](const auto&) { return TLoopbackServer::Reply(c.Status, c.Body); });
    std::string reply = "kept:";
    ASSERT_TRUE(RetrieveUrl(server.Url("/"), reply)) << c.Status;
    ASSERT_EQ(reply.size(), c.Body.size() + 5) << c.Status;
    EXPECT_TRUE(reply == "kept:" + c.Body) << c.Status;
  }
}

TEST(RetrieveUrl, AnAddressThatDoesNotOpenGivesFalseAndLeavesReplyAlone) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(TLoopbackServer::ClosedPort()) + "/x";
  for (const auto& address : {refused, std::string("not an address")}) {
    std::string reply = "before";
    EXPECT_FALSE(RetrieveUrl(address, reply)) << address;
    EXPECT_EQ(reply, "before") << address;
  }
}

// squid may keep these answers for an hour, yet the service sees every request, and the user's Internet
// cache keeps none of the addresses (a sign-in address carries the password).
TEST(RetrieveUrl, EveryRequestReachesTheServiceThroughACachingProxyAndNoneIsCached) {
  TLoopbackServer server([](const auto&) {
    // Without a date squid asks the service again each time, whatever the request says.
    SYSTEMTIME now;
    GetSystemTime(&now);
    char date[INTERNET_RFC1123_BUFSIZE];
    InternetTimeFromSystemTimeA(&now, INTERNET_RFC1123_FORMAT, date, sizeof date);
    return TLoopbackServer::Reply(200, "same",
                                  "Cache-Control: max-age=3600\r\nDate: " + std::string(date) + "\r\n");
  });
  TCachingProxy squid(server.Port());
  ASSERT_EQ(squid.Failure(), "");
  TProxySetting setting(squid.Port());
  const std::string signIn = BuildRequestUrl(1, {"key"}, {EncodeBase64("alice|secret")});
  const std::string closing = BuildRequestUrl(2, {"session"}, {"S-1"});
  const std::string addresses[] = {signIn, signIn, closing, closing};
  // What an earlier build may have left in the prefix's cache.
  for (const auto& address : addresses) DeleteUrlCacheEntryA(address.c_str());
  for (const auto& address : addresses) {
    std::string reply;
    ASSERT_TRUE(RetrieveUrl(address, reply)) << address;
    EXPECT_EQ(reply, "same");
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoA(address.c_str(), nullptr, &size)) << address;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << address;
  }
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), std::size(addresses)) << "squid answered a request from its cache";
  for (std::size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].Method, "GET");
    EXPECT_EQ(requests[i].Target, addresses[i].substr(addresses[i].find('/', 7)));
    EXPECT_EQ(requests[i].Header("User-Agent"), "service_retrieve_test.exe");
  }
}

TEST(RetrieveUrl, FollowsARedirect) {
  TLoopbackServer server([](const TLoopbackServer::TRequest& request) {
    if (request.Target == "/old") return TLoopbackServer::Reply(302, "", "Location: /new\r\n");
    return TLoopbackServer::Reply(200, "moved here");
  });
  std::string reply;
  ASSERT_TRUE(RetrieveUrl(server.Url("/old"), reply));
  EXPECT_EQ(reply, "moved here");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].Target, "/new");
}

TEST(RetrieveUrl, ProgressRunsAfterEveryReadOnceMoreThanTheReadsWithData) {
  const std::string body = Pattern(100000);
  TLoopbackServer server([&](const auto&) { return TLoopbackServer::Reply(200, body); });
  std::string reply;
  std::size_t calls = 0, growing = 0, last = 0;
  bool grewAfterEmpty = false, sawEmpty = false;
  ASSERT_TRUE(RetrieveUrl(server.Url("/"), reply, [&] {
    ++calls;
    const std::size_t piece = reply.size() - last;
    EXPECT_LE(piece, 32768u);
    if (piece > 0) {
      ++growing;
      grewAfterEmpty |= sawEmpty;
    } else {
      sawEmpty = true;
    }
    last = reply.size();
  }));
  EXPECT_EQ(reply, body);
  EXPECT_GE(growing, 4u);  // 100000 bytes cannot come in fewer than four 32768-byte reads
  EXPECT_EQ(calls, growing + 1);
  EXPECT_TRUE(sawEmpty);
  EXPECT_FALSE(grewAfterEmpty);
}

// Each answer ends the collecting with false; reply keeps a beginning of what the server sent, behind what
// it held before.
TEST(RetrieveUrl, AFailureWhileCollectingGivesFalseAndKeepsWhatArrived) {
  constexpr std::size_t Bound = 64u << 20;
  const std::string part = Pattern(50000);
  const std::string unit = Pattern(65536);
  const struct {
    const char* What;
    TLoopbackServer::TResponse Response;
    std::string Body;  // what the server sends as body, or the piece it repeats without end
    bool ProgressRaises;
    std::size_t AtLeast, AtMost;
  } cases[] = {
      {"an error raised by progress", TLoopbackServer::Reply(200, "payload"), "payload", true, 7, 7},
      // Announces twice the bytes that are sent, then resets the connection.
      {"a connection cut inside the body",
       [&] {
         TLoopbackServer::TResponse response = TLoopbackServer::Reply(200, part);
         response.Bytes.replace(response.Bytes.find("50000"), 5, "100000");
         response.Reset = true;
         return response;
       }(),
       part, false, 0, part.size()},
      {"an answer without end",
       {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", false, unit},
       unit,
       false,
       Bound + 1,
       Bound + 32768},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TLoopbackServer server([&](const auto&) { return c.Response; });
    std::string reply = "kept:";
    bool ranAway = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    EXPECT_FALSE(RetrieveUrl(server.Url("/"), reply, [&] {
      if (c.ProgressRaises) throw std::runtime_error("stop");
      // Ends a retrieval that would otherwise go on until memory or the test's time runs out.
      if (reply.size() > 2 * Bound || std::chrono::steady_clock::now() > deadline) {
        ranAway = true;
        throw std::runtime_error("ran away");
      }
    }));
    EXPECT_FALSE(ranAway) << "still collecting after 60 s or beyond twice the bound";
    ASSERT_TRUE(reply.starts_with("kept:"));
    const std::size_t size = reply.size() - 5;
    EXPECT_GE(size, c.AtLeast);
    EXPECT_LE(size, c.AtMost);
    for (std::size_t i = 0; i < size; ++i) {
      if (reply[5 + i] != c.Body[i % c.Body.size()]) {
        ADD_FAILURE() << "reply differs from what was sent at byte " << i;
        break;
      }
    }
  }
}

}  // namespace
