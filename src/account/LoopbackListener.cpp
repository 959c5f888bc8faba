#include "account/LoopbackListener.h"

#include <arpa/inet.h>
#include <glib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <variant>
#include <vector>

#include "account/Auth.h"
#include "account/LoopbackRequest.h"

namespace {

constexpr size_t kRequestBytes = 8192;
// A connection that sends nothing must not hold up the requests queued behind it.
constexpr int kQuietMilliseconds = 5000;
constexpr int kDrainMilliseconds = 250;

constexpr std::string_view kSuccessPage =
    "<h2>로그인되었습니다</h2><p>이 창을 닫고 Mirelo 로 돌아가세요.</p>";
constexpr std::string_view kFailurePage =
    "<h2>로그인하지 못했습니다</h2><p>Mirelo 에서 다시 시도해 주세요.</p>";
constexpr std::string_view kWaitingPage = "<h2>기다리는 중…</h2>";
constexpr std::string_view kBadRequestPage = "<h2>잘못된 요청</h2>";

using Outcome = std::variant<LoopbackListener::Callback, std::exception_ptr>;

}  // namespace

struct LoopbackListener::Shared {
  Clock* clock = nullptr;
  std::mutex lock;
  bool finished = false;
  int listenFd = -1;
  int wakeFd = -1;  // readable once finished: ends every wait of the loop
  // Touched on the main context only.
  Completion<Callback> completion;
  bool abandoned = false;

  // Refuses further connections and wakes the loop. Called with lock held.
  void stopListening() {
    if (listenFd >= 0) shutdown(listenFd, SHUT_RDWR);
    std::uint64_t one = 1;
    ssize_t written = write(wakeFd, &one, sizeof one);
    (void)written;  // one increment of a fresh counter cannot fail
  }

  bool isFinished() {
    std::lock_guard guard(lock);
    return finished;
  }
};

namespace {

using Shared = LoopbackListener::Shared;

// Delivers the first outcome to the waiting task on the main context; later ones are ignored.
// Called from the accept loop and from the time-out.
void finish(const std::shared_ptr<Shared>& s, Outcome outcome) {
  {
    std::lock_guard guard(s->lock);
    if (s->finished) return;
    s->finished = true;
    s->stopListening();
  }
  s->clock->post([s, outcome]() {
    if (s->abandoned) return;
    if (auto* cb = std::get_if<LoopbackListener::Callback>(&outcome)) {
      s->completion.resolve(*cb);
    } else {
      s->completion.fail(std::get<std::exception_ptr>(outcome));
    }
  });
}

// Waits until fd is readable; false when the time passes or the listener finishes first.
bool waitReadable(int fd, int wakeFd, int milliseconds) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
  for (;;) {
    int n = poll(fds, 2, milliseconds);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || fds[1].revents) return false;
    return true;
  }
}

// Reads the request's head: until the blank line after the headers, 8,192 bytes, the peer
// stopping, or a quiet spell. Only the request line is used, but reading the whole head lets
// the connection close cleanly (unread bytes would reset it, and the page with it).
std::string readRequest(int conn, int wakeFd) {
  std::string bytes;
  char buffer[kRequestBytes];
  while (bytes.size() < kRequestBytes && bytes.find("\r\n\r\n") == std::string::npos) {
    if (!waitReadable(conn, wakeFd, kQuietMilliseconds)) break;
    ssize_t n = read(conn, buffer, kRequestBytes - bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

void sendAll(int conn, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(conn, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// Closing with unread request bytes would reset the connection and could lose the page the
// browser has not read yet: read what is left (briefly) first.
void closeGently(int conn) {
  shutdown(conn, SHUT_WR);
  char scratch[4096];
  pollfd p{conn, POLLIN, 0};
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainMilliseconds);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    if (read(conn, scratch, sizeof scratch) <= 0) break;
  }
  close(conn);
}

// Answers and closes one connection; true when it delivered the outcome.
bool serve(const std::shared_ptr<Shared>& s, int conn) {
  auto request = LoopbackListener::parseRequest(readRequest(conn, s->wakeFd));
  std::string_view page = !request                            ? kBadRequestPage
                          : !request->code && !request->error ? kWaitingPage
                          : request->code                     ? kSuccessPage
                                                              : kFailurePage;
  sendAll(conn, LoopbackListener::response(page));
  closeGently(conn);
  if (!request || (!request->code && !request->error)) return false;
  finish(s, *request);
  return true;
}

void acceptLoop(std::shared_ptr<Shared> s) {
  while (!s->isFinished()) {
    if (!waitReadable(s->listenFd, s->wakeFd, -1)) return;
    int conn = accept4(s->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
      return;  // the socket was shut down (or cannot accept at all)
    }
    if (serve(s, conn)) return;
  }
}

}  // namespace

LoopbackListener::LoopbackListener(Clock& clock) : clock_(clock) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw Auth::AuthError::google("소켓을 만들지 못했습니다");
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = 0;
  addr.sin_addr.s_addr = inet_addr("127.0.0.1");
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0) {
    int err = errno;
    close(fd);
    throw Auth::AuthError::google("루프백 포트를 열지 못했습니다 (errno " + std::to_string(err) +
                                  ")");
  }
  socklen_t len = sizeof addr;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || ntohs(addr.sin_port) == 0) {
    close(fd);
    throw Auth::AuthError::google("루프백 포트 번호를 알아내지 못했습니다");
  }
  int wake = eventfd(0, EFD_CLOEXEC);
  if (wake < 0) {
    close(fd);
    throw Auth::AuthError::google("소켓을 만들지 못했습니다");
  }
  port_ = ntohs(addr.sin_port);
  shared_ = std::make_shared<Shared>();
  shared_->clock = &clock;
  shared_->listenFd = fd;
  shared_->wakeFd = wake;
}

LoopbackListener::~LoopbackListener() {
  shared_->abandoned = true;
  {
    std::lock_guard guard(shared_->lock);
    shared_->finished = true;
    shared_->stopListening();
  }
  if (loop_.joinable()) loop_.join();
  close(shared_->listenFd);
  close(shared_->wakeFd);
}

Task<LoopbackListener::Callback> LoopbackListener::waitForCallback() {
  if (loop_.joinable()) throw std::logic_error("waitForCallback is called once per listener");
  Completion<Callback> done = shared_->completion;
  loop_ = std::thread(acceptLoop, shared_);
  timeout_.start(clock_, kTimeoutSeconds, false, [s = shared_] {
    finish(s, std::make_exception_ptr(Auth::AuthError::cancelled()));
  });
  co_return co_await done;
}

std::string LoopbackListener::response(std::string_view fragment) {
  std::string body = "<!doctype html><meta charset=utf-8>";
  body += "<body style=\"font-family:system-ui;text-align:center;padding:4rem\">";
  body += fragment;
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::optional<LoopbackListener::Callback> LoopbackListener::parseRequest(std::string_view bytes) {
  return LoopbackRequest::parse(bytes);
}
