#include "account/LoopbackListener.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "account/Auth.h"
#include "fake/RunTask.h"

namespace {

using Callback = LoopbackListener::Callback;

int connectTo(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Everything the listener answers until it closes the connection.
std::string readAll(int fd) {
  std::string out;
  char buf[4096];
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 10'000) > 0) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

// Sends bytes as one request (closing the sending side when cut is set) and returns the answer.
std::string ask(int port, const std::string& bytes, bool cut = false) {
  int fd = connectTo(port);
  if (fd < 0) return "<refused>";
  send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  if (cut) shutdown(fd, SHUT_WR);
  std::string answer = readAll(fd);
  close(fd);
  return answer;
}

std::string get(const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/html\r\n\r\n";
}

bool shows(const std::string& answer, const std::string& fragment) {
  return answer.rfind("HTTP/1.1 200 OK\r\n", 0) == 0 && answer.find(fragment) != std::string::npos;
}

class LoopbackListenerTest : public ::testing::Test {
 protected:
  // Starts waiting; the outcome lands in callback or error.
  void wait() {
    spawn([](LoopbackListener& l, LoopbackListenerTest& t) -> Task<void> {
      try {
        t.callback = co_await l.waitForCallback();
      } catch (const Auth::AuthError& e) {
        t.error = e;
      }
      t.done = true;
    }(*listener, *this));
  }
  bool finished() {
    return clock.runUntil([&] { return done; }, 10);
  }

  ManualClock clock;
  std::unique_ptr<LoopbackListener> listener = std::make_unique<LoopbackListener>(clock);
  std::optional<Callback> callback;
  std::optional<Auth::AuthError> error;
  bool done = false;
};

TEST_F(LoopbackListenerTest, AnswersOtherRequestsWithTheWaitingPageUntilTheCodeComes) {
  wait();
  std::string waiting = ask(listener->port(), get("/favicon.ico"));
  EXPECT_TRUE(shows(waiting, "<h2>기다리는 중…</h2>")) << waiting;
  EXPECT_NE(waiting.find("Content-Length: 130\r\n"), std::string::npos) << "bytes, not characters";
  EXPECT_EQ(waiting.substr(waiting.find("\r\n\r\n") + 4).size(), 130u);
  clock.runPending();
  EXPECT_FALSE(done);

  std::string success = ask(listener->port(), get("/?code=abc&state=xyz"));
  EXPECT_TRUE(shows(success, "<h2>로그인되었습니다</h2>")) << success;
  ASSERT_TRUE(finished());
  EXPECT_EQ(callback->code, "abc");
  EXPECT_EQ(callback->state, "xyz");
  EXPECT_FALSE(callback->error);
}

TEST_F(LoopbackListenerTest, DeliversADeniedConsentWithTheFailurePage) {
  wait();
  std::string answer = ask(listener->port(), get("/?error=access_denied&state=xyz"));
  EXPECT_TRUE(shows(answer, "<h2>로그인하지 못했습니다</h2>")) << answer;
  ASSERT_TRUE(finished());
  EXPECT_FALSE(callback->code);
  EXPECT_EQ(callback->error, "access_denied");
  EXPECT_EQ(callback->state, "xyz");
}

TEST_F(LoopbackListenerTest, ReadsQueryValuesExactly) {
  EXPECT_EQ(LoopbackListener::parseRequest(get("/?code=&state=xyz"))->code, "");
  EXPECT_FALSE(LoopbackListener::parseRequest(get("/?code&state=xyz"))->code);
  auto decoded = LoopbackListener::parseRequest(get("/?state=a%2Fb+c&code=1&code=2&state=later"));
  EXPECT_EQ(decoded->state, "a/b+c");
  EXPECT_EQ(decoded->code, "1");
  EXPECT_FALSE(LoopbackListener::parseRequest(get("/?code=%zz")));
  EXPECT_FALSE(LoopbackListener::parseRequest(get("/?code=%FF")));
  EXPECT_EQ(LoopbackListener::parseRequest("\r\n" + get("/?code=x"))->code, "x");
}

TEST_F(LoopbackListenerTest, SurvivesBrokenRequestsAndKeepsListening) {
  wait();
  const int port = listener->port();
  EXPECT_TRUE(shows(ask(port, "GET\r\n\r\n"), "<h2>잘못된 요청</h2>"));
  EXPECT_TRUE(shows(ask(port, "", true), "<h2>잘못된 요청</h2>"));
  EXPECT_TRUE(
      shows(ask(port, std::string("\x16\x03\x01\x00\xff\xfe\r\n", 8), true), "잘못된 요청"));
  EXPECT_TRUE(shows(ask(port, "GET /?code=abc", true), "잘못된 요청")) << "cut off mid-line";
  std::string longLine = get("/?state=s&code=" + std::string(9000, 'a'));
  EXPECT_TRUE(shows(ask(port, longLine), "잘못된 요청"));
  std::string longHeaders = get("/?code=fine&state=s");
  longHeaders.insert(longHeaders.size() - 2, "X-Pad: " + std::string(20000, 'p') + "\r\n");
  clock.runPending();
  EXPECT_FALSE(done);

  EXPECT_TRUE(shows(ask(port, longHeaders), "로그인되었습니다"));
  ASSERT_TRUE(finished());
  EXPECT_EQ(callback->code, "fine");
}

TEST_F(LoopbackListenerTest, DeliversOnlyTheFirstOfTwoCodes) {
  wait();
  int first = connectTo(listener->port());
  int second = connectTo(listener->port());
  ASSERT_GE(second, 0);
  std::string one = get("/?code=first&state=s"), two = get("/?code=second&state=s");
  send(first, one.data(), one.size(), MSG_NOSIGNAL);
  send(second, two.data(), two.size(), MSG_NOSIGNAL);
  EXPECT_TRUE(shows(readAll(first), "로그인되었습니다"));
  EXPECT_EQ(readAll(second), "") << "the second request is never served";
  close(first);
  close(second);
  ASSERT_TRUE(finished());
  EXPECT_EQ(callback->code, "first");
  clock.advance(LoopbackListener::kTimeoutSeconds);
  EXPECT_EQ(callback->code, "first");
  EXPECT_FALSE(error);
}

TEST_F(LoopbackListenerTest, GivesUpAfterFiveMinutesOnTheClock) {
  wait();
  clock.advance(LoopbackListener::kTimeoutSeconds - 0.5);
  EXPECT_FALSE(done);
  clock.advance(0.5);
  ASSERT_TRUE(done);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->kind(), Auth::AuthError::Kind::cancelled);
  EXPECT_STREQ(error->what(), "로그인이 취소되었습니다");
  EXPECT_EQ(ask(listener->port(), get("/?code=late&state=s")), "<refused>");
  EXPECT_FALSE(callback);
}

TEST_F(LoopbackListenerTest, ClosingWhileABrowserHoldsAnIdleConnectionDoesNotHang) {
  auto waiting = listener->waitForCallback().release();
  waiting.resume();  // suspends until the outcome; the accept loop now runs
  int idle = connectTo(listener->port());
  ASSERT_GE(idle, 0);
  auto started = std::chrono::steady_clock::now();
  listener.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20))
      << "closing must not wait for the idle connection";
  close(idle);
  clock.advance(LoopbackListener::kTimeoutSeconds);  // the time-out went with the listener
  EXPECT_FALSE(waiting.done());
  waiting.destroy();
}

}  // namespace
