#include "platform/linux/AtspiSnapshot.h"

#include <cstring>
#include <unordered_map>
#include <utility>

#include "platform/AXNames.h"
#include "platform/linux/AtspiReplies.h"
#include "platform/linux/AtspiRoles.h"
#include "platform/linux/DBusBatch.h"

namespace linuxport {

namespace {

using platform::AXValue;

constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* kTextInterface = "org.a11y.atspi.Text";
constexpr const char* kAccessibleInterface = "org.a11y.atspi.Accessible";
constexpr const char* kNullPath = "/org/a11y/atspi/null";

bool has(std::uint64_t states, AtspiStateType state) {
  return (states >> state) & 1;
}

std::optional<AtspiRoles::States> statesOf(const AtspiSnapshot::Item& item) {
  if (has(item.states, ATSPI_STATE_DEFUNCT)) return std::nullopt;
  return AtspiRoles::States{has(item.states, ATSPI_STATE_EDITABLE),
                            has(item.states, ATSPI_STATE_MULTI_LINE)};
}

DBusMessage* getText(const std::string& path, dbus_int32_t start, dbus_int32_t end) {
  DBusMessage* m = DBusBatch::call(path.c_str(), kTextInterface, "GetText");
  dbus_message_append_args(m, DBUS_TYPE_INT32, &start, DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID);
  return m;
}

DBusMessage* getCharacterCount(const std::string& path) {
  DBusMessage* m = DBusBatch::call(path.c_str(), DBUS_INTERFACE_PROPERTIES, "Get");
  const char* interface = kTextInterface;
  const char* property = "CharacterCount";
  dbus_message_append_args(m, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                           DBUS_TYPE_INVALID);
  return m;
}

}  // namespace

AtspiSnapshot::AtspiSnapshot(DBusConnection* bus, std::string busName, int timeoutMs)
    : bus_(dbus_connection_ref(bus)), busName_(std::move(busName)), timeoutMs_(timeoutMs) {}

AtspiSnapshot::~AtspiSnapshot() {
  dbus_connection_unref(bus_);
}

std::unique_ptr<AtspiSnapshot> AtspiSnapshot::take(AtspiAccessible* element, int timeoutMs) {
  AtspiApplication* app = element ? element->parent.app : nullptr;
  if (!app || !app->bus || !app->bus_name || !element->parent.path) return nullptr;
  return take(app->bus, app->bus_name, element->parent.path, timeoutMs);
}

std::unique_ptr<AtspiSnapshot> AtspiSnapshot::take(DBusConnection* bus, const std::string& busName,
                                                   const std::string& elementPath, int timeoutMs) {
  std::unique_ptr<AtspiSnapshot> snapshot(new AtspiSnapshot(bus, busName, timeoutMs));
  std::optional<std::vector<Item>> items;
  DBusBatch batch(snapshot->bus_, snapshot->busName_, timeoutMs);
  bool answered = batch.run(
      1,
      [](size_t) {
        return DBusBatch::call("/org/a11y/atspi/cache", "org.a11y.atspi.Cache", "GetItems");
      },
      [&](size_t, DBusMessage* reply) {
        if (reply) items = AtspiReplies::items(reply);
      });
  if (!answered || !items || !snapshot->build(std::move(*items), elementPath)) return nullptr;
  return snapshot;
}

bool AtspiSnapshot::build(std::vector<Item> items, const std::string& elementPath) {
  items_ = std::move(items);
  nodes_.assign(items_.size(), Node{});
  for (size_t i = 0; i < items_.size(); ++i)
    byPath_.emplace(items_[i].path, static_cast<int>(i));
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    auto parent = byPath_.find(item.parentPath);
    if (item.parentBus == item.bus && parent != byPath_.end() && parent->second != int(i))
      nodes_[i].parent = parent->second;
  }
  auto found = byPath_.find(elementPath);
  if (found == byPath_.end()) return false;
  element_ = found->second;
  return ancestorsListed() && placeChildren() && mapRoles();
}

// Children go where their index in the parent says. A parent whose children do not fill its
// child count exactly, once each, is asked for each child by index, as a walk asks: GTK 3 gives
// a scrolled window's scroll bars no index, and leaves a hidden one out of the cache.
bool AtspiSnapshot::placeChildren() {
  std::vector<char> misplaced(items_.size(), 0);
  for (size_t i = 0; i < items_.size(); ++i)
    nodes_[i].children.assign(std::max(items_[i].childCount, 0), -1);
  for (size_t i = 0; i < items_.size(); ++i) {
    int p = nodes_[i].parent;
    if (p < 0) continue;
    auto& slots = nodes_[p].children;
    auto index = items_[i].index;
    if (index < 0 || size_t(index) >= slots.size() || slots[index] != -1) {
      misplaced[p] = 1;
    } else {
      slots[index] = static_cast<int>(i);
    }
  }
  std::vector<int> ask;
  for (size_t i = 0; i < nodes_.size(); ++i) {
    auto& children = nodes_[i].children;
    if (misplaced[i] || std::find(children.begin(), children.end(), -1) != children.end())
      ask.push_back(static_cast<int>(i));
  }
  return askChildren(std::move(ask));
}

// Rounds of child-by-index calls; objects the cache did not hold are described and their
// children asked for in the next round.
bool AtspiSnapshot::askChildren(std::vector<int> parents) {
  DBusBatch batch(bus_, busName_, timeoutMs_);
  for (int round = 0; !parents.empty(); ++round) {
    if (round > 64) return false;
    std::vector<std::pair<int, dbus_int32_t>> slots;
    for (int p : parents) {
      nodes_[p].children.clear();
      for (dbus_int32_t i = 0; i < items_[p].childCount; ++i)
        slots.emplace_back(p, i);
    }
    std::vector<std::optional<std::pair<std::string, std::string>>> refs(slots.size());
    bool ok = batch.run(
        slots.size(),
        [&](size_t k) {
          DBusMessage* m = DBusBatch::call(items_[slots[k].first].path.c_str(),
                                           "org.a11y.atspi.Accessible", "GetChildAtIndex");
          dbus_message_append_args(m, DBUS_TYPE_INT32, &slots[k].second, DBUS_TYPE_INVALID);
          return m;
        },
        [&](size_t k, DBusMessage* reply) { refs[k] = AtspiReplies::objectRef(reply); });
    if (!ok) return false;
    std::vector<int> added;
    for (size_t k = 0; k < slots.size(); ++k) {
      if (!refs[k] || refs[k]->second == kNullPath) continue;  // a walk skips it too
      int child = childFor(*refs[k], slots[k].first, added);
      nodes_[slots[k].first].children.push_back(child);
    }
    if (!describe(added)) return false;
    std::erase_if(added, [&](int c) { return items_[c].childCount <= 0; });
    parents = std::move(added);
  }
  return true;
}

int AtspiSnapshot::childFor(const std::pair<std::string, std::string>& ref, int parent,
                            std::vector<int>& added) {
  if (auto found = byPath_.find(ref.second); found != byPath_.end()) return found->second;
  int child = static_cast<int>(items_.size());
  Item item;
  item.bus = ref.first;
  item.path = ref.second;
  items_.push_back(std::move(item));
  nodes_.push_back(Node{});
  nodes_[child].parent = parent;
  byPath_.emplace(ref.second, child);
  added.push_back(child);
  return child;
}

// Role, states, interfaces, name and child count of objects the cache did not hold, each as a
// walk would read it (a failed state read leaves the object defunct).
bool AtspiSnapshot::describe(const std::vector<int>& added) {
  static constexpr const char* kMethods[] = {"GetRole", "GetState", "GetInterfaces"};
  static constexpr const char* kProperties[] = {"Name", "ChildCount"};
  constexpr auto kAsks = size_t(AtspiReplies::Ask::count);
  for (int c : added)
    items_[c].states = std::uint64_t(1) << ATSPI_STATE_DEFUNCT;
  DBusBatch batch(bus_, busName_, timeoutMs_);
  return batch.run(
      added.size() * kAsks,
      [&](size_t k) {
        const char* path = items_[added[k / kAsks]].path.c_str();
        size_t ask = k % kAsks;
        if (ask < 3) return DBusBatch::call(path, kAccessibleInterface, kMethods[ask]);
        DBusMessage* m = DBusBatch::call(path, DBUS_INTERFACE_PROPERTIES, "Get");
        const char* interface = kAccessibleInterface;
        const char* property = kProperties[ask - 3];
        dbus_message_append_args(m, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                                 DBUS_TYPE_INVALID);
        return m;
      },
      [&](size_t k, DBusMessage* reply) {
        if (reply)
          AtspiReplies::describe(items_[added[k / kAsks]], AtspiReplies::Ask(k % kAsks), reply);
      });
}

// The element's ancestors end at the application, as they do attribute by attribute.
bool AtspiSnapshot::ancestorsListed() const {
  int top = element_;
  for (size_t steps = 0; nodes_[top].parent >= 0; ++steps) {
    if (steps > nodes_.size()) return false;
    top = nodes_[top].parent;
  }
  return items_[top].path == kRootPath;
}

// Roles that depend on more than the cache holds (an editable entry's "xml-roles", a read-only
// section's text) are mapped again once those are read in bulk.
bool AtspiSnapshot::mapRoles() {
  std::vector<int> searchable, sections;
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    nodes_[i].role = AtspiRoles::mapped(
        item.role, [&] { return statesOf(item); },
        [&]() -> std::optional<std::string> {
          searchable.push_back(static_cast<int>(i));
          return std::nullopt;
        },
        [&]() -> std::optional<std::string> {
          if (item.text) sections.push_back(static_cast<int>(i));
          return std::nullopt;
        });
  }
  auto xmlRoles = attributes(searchable, "xml-roles");
  auto sectionTexts = texts(sections);
  if (!xmlRoles || !sectionTexts) return false;
  auto remap = [&](int n, const std::optional<std::string>& xml,
                   const std::optional<std::string>& text) {
    nodes_[n].role = AtspiRoles::mapped(
        items_[n].role, [&] { return statesOf(items_[n]); }, [&] { return xml; },
        [&] { return text; });
  };
  for (size_t k = 0; k < searchable.size(); ++k)
    remap(searchable[k], (*xmlRoles)[k], std::nullopt);
  for (size_t k = 0; k < sections.size(); ++k) {
    const auto& value = (*sectionTexts)[k];
    auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    remap(sections[k], std::nullopt, text ? std::optional<std::string>(*text) : std::nullopt);
  }
  return true;
}

std::optional<std::vector<std::optional<std::string>>> AtspiSnapshot::attributes(
    const std::vector<int>& nodes, const char* key) {
  std::vector<std::optional<std::string>> values(nodes.size());
  if (nodes.empty()) return values;
  DBusBatch batch(bus_, busName_, timeoutMs_);
  bool ok = batch.run(
      nodes.size(),
      [&](size_t k) {
        return DBusBatch::call(items_[nodes[k]].path.c_str(), "org.a11y.atspi.Accessible",
                               "GetAttributes");
      },
      [&](size_t k, DBusMessage* reply) { values[k] = AtspiReplies::attribute(reply, key); });
  if (!ok) return std::nullopt;
  return values;
}

std::optional<AtspiSnapshot::Values> AtspiSnapshot::read(const std::vector<int>& nodes,
                                                         std::string_view name) {
  for (int n : nodes)
    if (n < 0 || size_t(n) >= nodes_.size()) return std::nullopt;
  if (name == platform::AXAttribute::kValue) return texts(nodes);
  if (name == platform::AXAttribute::kFrame) return frames(nodes);
  if (name != platform::AXAttribute::kRole && name != platform::AXAttribute::kTitle)
    return std::nullopt;
  Values values(nodes.size());
  for (size_t k = 0; k < nodes.size(); ++k) {
    if (name == platform::AXAttribute::kRole && nodes_[nodes[k]].role)
      values[k] = AXValue(*nodes_[nodes[k]].role);
    if (name == platform::AXAttribute::kTitle && !items_[nodes[k]].name.empty())
      values[k] = AXValue(items_[nodes[k]].name);
  }
  return values;
}

// The whole text, asked as (0, -1); an empty answer is asked again with the character count,
// as some toolkits answer "" to (0, -1).
std::optional<AtspiSnapshot::Values> AtspiSnapshot::texts(const std::vector<int>& nodes) {
  std::vector<size_t> asked;
  for (size_t k = 0; k < nodes.size(); ++k) {
    const Item& item = items_[nodes[k]];
    if (item.text && item.role != ATSPI_ROLE_INVALID && !AtspiRoles::hidesText(item.role))
      asked.push_back(k);
  }
  std::vector<std::optional<std::string>> text(nodes.size());
  std::vector<std::optional<dbus_int32_t>> count(nodes.size());
  DBusBatch batch(bus_, busName_, timeoutMs_);
  auto pathOf = [&](size_t k) -> const std::string& { return items_[nodes[asked[k]]].path; };
  if (!batch.run(
          asked.size(), [&](size_t k) { return getText(pathOf(k), 0, -1); },
          [&](size_t k, DBusMessage* reply) { text[asked[k]] = AtspiReplies::string(reply); }))
    return std::nullopt;
  std::erase_if(asked, [&](size_t k) { return !text[k] || !text[k]->empty(); });
  if (!batch.run(
          asked.size(), [&](size_t k) { return getCharacterCount(pathOf(k)); },
          [&](size_t k, DBusMessage* reply) { count[asked[k]] = AtspiReplies::variantInt(reply); }))
    return std::nullopt;
  for (size_t k : asked)
    if (!count[k]) text[k].reset();
  std::erase_if(asked, [&](size_t k) { return !count[k] || *count[k] <= 0; });
  if (!batch.run(
          asked.size(), [&](size_t k) { return getText(pathOf(k), 0, *count[asked[k]]); },
          [&](size_t k, DBusMessage* reply) { text[asked[k]] = AtspiReplies::string(reply); }))
    return std::nullopt;
  Values values(nodes.size());
  for (size_t k = 0; k < nodes.size(); ++k)
    if (text[k]) values[k] = AXValue(std::move(*text[k]));
  return values;
}

std::optional<AtspiSnapshot::Values> AtspiSnapshot::frames(const std::vector<int>& nodes) {
  Values values(nodes.size());
  DBusBatch batch(bus_, busName_, timeoutMs_);
  bool ok = batch.run(
      nodes.size(),
      [&](size_t k) -> DBusMessage* {
        if (!items_[nodes[k]].component) return nullptr;
        DBusMessage* m = DBusBatch::call(items_[nodes[k]].path.c_str(), "org.a11y.atspi.Component",
                                         "GetExtents");
        dbus_uint32_t screen = ATSPI_COORD_TYPE_SCREEN;
        dbus_message_append_args(m, DBUS_TYPE_UINT32, &screen, DBUS_TYPE_INVALID);
        return m;
      },
      [&](size_t k, DBusMessage* reply) {
        if (auto rect = AtspiReplies::rect(reply)) values[k] = AXValue(*rect);
      });
  if (!ok) return std::nullopt;
  return values;
}

}  // namespace linuxport
