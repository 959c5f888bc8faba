#include "platform/linux/LinuxSecrets.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/Log.h"
#include "platform/linux/SessionBus.h"

namespace linuxport {

namespace {

const SecretSchema* schema() {
  static const SecretSchema s = {"com.mirelo.app.SessionToken",
                                 SECRET_SCHEMA_DONT_MATCH_NAME,
                                 {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                  {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                  {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                 0,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr};
  return &s;
}

// Runs call(cancellable), cancelling it when the deadline passes first.
template <typename F>
auto withDeadline(double seconds, F call) {
  GCancellable* cancellable = g_cancellable_new();
  std::mutex m;
  std::condition_variable cv;
  bool finished = false;
  std::thread watchdog([&] {
    std::unique_lock lock(m);
    if (!cv.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return finished; }))
      g_cancellable_cancel(cancellable);
  });
  auto result = call(cancellable);
  {
    std::lock_guard lock(m);
    finished = true;
  }
  cv.notify_all();
  watchdog.join();
  g_object_unref(cancellable);
  return result;
}

std::string label(std::string_view service, std::string_view account) {
  return std::string(service) + " " + std::string(account);
}

}  // namespace

std::optional<std::string> LinuxSecrets::get(std::string_view service, std::string_view account) {
  std::pair<std::string, std::string> key{service, account};
  if (auto it = known_.find(key); it != known_.end()) return it->second;
  if (!sessionBusReachable()) return std::nullopt;
  auto value = withDeadline(deadline_, [&](GCancellable* c) -> std::optional<std::string> {
    GError* error = nullptr;
    gchar* secret = secret_password_lookup_sync(schema(), c, &error, "service", key.first.c_str(),
                                                "account", key.second.c_str(), nullptr);
    if (error) g_error_free(error);
    if (!secret) return std::nullopt;
    std::string s(secret);
    secret_password_free(secret);
    return s;
  });
  // An absent or failed read is asked again next time: a sign-in may come later.
  if (value) known_[key] = *value;
  return value;
}

void LinuxSecrets::set(std::string_view service, std::string_view account, std::string_view value) {
  std::pair<std::string, std::string> key{service, account};
  if (!sessionBusReachable()) throw platform::SecretsError("세션 버스에 연결할 수 없습니다");
  std::string v(value);
  std::string reason = withDeadline(deadline_, [&](GCancellable* c) -> std::string {
    GError* error = nullptr;
    gboolean ok = secret_password_store_sync(
        schema(), SECRET_COLLECTION_DEFAULT, label(service, account).c_str(), v.c_str(), c, &error,
        "service", key.first.c_str(), "account", key.second.c_str(), nullptr);
    std::string why = error ? error->message : (ok ? "" : "알 수 없는 오류");
    if (error) g_error_free(error);
    return why;
  });
  if (!reason.empty()) {
    Log::app.error("비밀 저장소에 저장하지 못했습니다 (%{public}s): %{public}s", key.second,
                   reason);
    throw platform::SecretsError("비밀 저장소에 저장하지 못했습니다 (" + reason + ")");
  }
  known_[key] = std::move(v);
}

void LinuxSecrets::remove(std::string_view service, std::string_view account) {
  std::pair<std::string, std::string> key{service, account};
  known_.erase(key);
  if (!sessionBusReachable()) return;
  withDeadline(deadline_, [&](GCancellable* c) {
    GError* error = nullptr;
    gboolean ok = secret_password_clear_sync(schema(), c, &error, "service", key.first.c_str(),
                                             "account", key.second.c_str(), nullptr);
    if (error) g_error_free(error);
    return ok;
  });
}

}  // namespace linuxport
