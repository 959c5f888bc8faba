#include "platform/linux/AtspiBrowserWake.h"

#include <atspi/atspi.h>

#include <deque>
#include <memory>
#include <vector>

namespace AtspiBrowserWake {

namespace {

struct Unref {
  void operator()(AtspiAccessible* a) const { g_object_unref(a); }
};
using Ref = std::unique_ptr<AtspiAccessible, Unref>;

bool failed(GError*& error) {
  if (!error) return false;
  g_error_free(error);
  error = nullptr;
  return true;
}

std::vector<Ref> childrenOf(AtspiAccessible* a) {
  std::vector<Ref> children;
  GError* error = nullptr;
  gint count = atspi_accessible_get_child_count(a, &error);
  if (failed(error)) return children;
  for (gint i = 0; i < count; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(a, i, &error);
    if (failed(error) || !child) {
      if (child) g_object_unref(child);
      continue;
    }
    children.emplace_back(child);
  }
  return children;
}

Ref applicationOf(std::int32_t pid) {
  Ref desktop(atspi_get_desktop(0));
  if (!desktop) return nullptr;
  for (auto& app : childrenOf(desktop.get())) {
    GError* error = nullptr;
    guint appPid = atspi_accessible_get_process_id(app.get(), &error);
    if (!failed(error) && static_cast<std::int32_t>(appPid) == pid) return std::move(app);
  }
  return nullptr;
}

}  // namespace

int exposeWebContent(std::int32_t pid) {
  Ref app = applicationOf(pid);
  if (!app) return 0;
  std::deque<Ref> queue;
  queue.push_back(std::move(app));
  int visited = 0, documents = 0;
  while (!queue.empty() && visited < kMaxNodes) {
    Ref node = std::move(queue.front());
    queue.pop_front();
    ++visited;
    GError* error = nullptr;
    AtspiRole role = atspi_accessible_get_role(node.get(), &error);
    if (failed(error)) continue;
    // Chromium answers null children until its object attributes have been asked for once.
    if (GHashTable* attributes = atspi_accessible_get_attributes(node.get(), &error))
      g_hash_table_unref(attributes);
    failed(error);
    atspi_accessible_clear_cache(node.get());  // child counts cached while they were null
    auto children = childrenOf(node.get());    // a document asked for its children builds them
    if (role == ATSPI_ROLE_DOCUMENT_WEB) {
      ++documents;
      continue;
    }
    for (auto& child : children)
      queue.push_back(std::move(child));
  }
  return documents;
}

}  // namespace AtspiBrowserWake
