#include <gtest/gtest.h>

#include <stdexcept>

#include "service/executable.h"
#include "service/retrieve.h"
#include "service/tests/loopback_server.h"

namespace {

std::string Pattern(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return body;
}

TEST(RetrieveUrl, ErrorStatusIsASuccessWithItsBody) {
  LoopbackServer server([](const auto&) { return LoopbackServer::Reply(404, "<h1>Not here</h1>"); });
  std::string reply;
  EXPECT_TRUE(RetrieveUrl(server.Url("/missing"), reply));
  EXPECT_EQ(reply, "<h1>Not here</h1>");
}

TEST(RetrieveUrl, LargeBinaryAnswerArrivesWholeAndInOrderBehindExistingText) {
  const std::string body = Pattern(700 * 1024 + 13);
  LoopbackServer server([&](const auto&) { return LoopbackServer::Reply(200, body); });
  std::string reply = "kept:";
  ASSERT_TRUE(RetrieveUrl(server.Url("/big"), reply));
  ASSERT_EQ(reply.size(), body.size() + 5);
  EXPECT_TRUE(reply == "kept:" + body);
}

TEST(RetrieveUrl, RefusedConnectionGivesFalseAndLeavesReplyAlone) {
  std::string reply = "before";
  EXPECT_FALSE(RetrieveUrl("http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) + "/x", reply));
  EXPECT_EQ(reply, "before");
}

TEST(RetrieveUrl, MalformedAddressGivesFalse) {
  std::string reply;
  EXPECT_FALSE(RetrieveUrl("not an address", reply));
  EXPECT_EQ(reply, "");
}

TEST(RetrieveUrl, SendsAGetWithTheExecutableNameAsAgentAndNoCache) {
  LoopbackServer server(
      [](const auto&) { return LoopbackServer::Reply(200, "same", "Cache-Control: max-age=3600\r\n"); });
  std::string first, second;
  ASSERT_TRUE(RetrieveUrl(server.Url("/select.php?func=1&key=fA%3D%3D"), first));
  ASSERT_TRUE(RetrieveUrl(server.Url("/select.php?func=1&key=fA%3D%3D"), second));
  EXPECT_EQ(first, "same");
  EXPECT_EQ(second, "same");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const auto& request : requests) {
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/select.php?func=1&key=fA%3D%3D");
    EXPECT_EQ(request.Header("User-Agent"), "service_retrieve_test.exe");
  }
  EXPECT_EQ(ExecutableFileName(), "service_retrieve_test.exe");
}

TEST(RetrieveUrl, FollowsARedirect) {
  LoopbackServer server([](const LoopbackServer::Request& request) {
    if (request.target == "/old") return LoopbackServer::Reply(302, "", "Location: /new\r\n");
    return LoopbackServer::Reply(200, "moved here");
  });
  std::string reply;
  ASSERT_TRUE(RetrieveUrl(server.Url("/old"), reply));
  EXPECT_EQ(reply, "moved here");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].target, "/new");
}

TEST(RetrieveUrl, ProgressRunsAfterEveryReadOnceMoreThanTheReadsWithData) {
  const std::string body = Pattern(100000);
  LoopbackServer server([&](const auto&) { return LoopbackServer::Reply(200, body); });
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

TEST(RetrieveUrl, ErrorRaisedByProgressGivesFalseAndKeepsWhatArrived) {
  LoopbackServer server([](const auto&) { return LoopbackServer::Reply(200, "payload"); });
  std::string reply;
  EXPECT_FALSE(RetrieveUrl(server.Url("/"), reply, [] { throw std::runtime_error("stop"); }));
  EXPECT_EQ(reply, "payload");
}

TEST(RetrieveUrl, ConnectionCutInTheBodyGivesFalseAndKeepsTheBytesSoFar) {
  const std::string part = Pattern(50000);
  LoopbackServer server([&](const auto&) {
    LoopbackServer::Response response = LoopbackServer::Reply(200, part);
    // Announce twice the bytes that are sent, then reset the connection.
    response.bytes.replace(response.bytes.find("50000"), 5, "100000");
    response.reset = true;
    return response;
  });
  std::string reply;
  EXPECT_FALSE(RetrieveUrl(server.Url("/"), reply));
  EXPECT_LE(reply.size(), part.size());
  EXPECT_EQ(reply, part.substr(0, reply.size()));
}

}  // namespace
