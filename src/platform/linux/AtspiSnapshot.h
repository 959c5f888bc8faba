#pragma once

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/AXSnapshot.h"
#include "platform/linux/AtspiReplies.h"

namespace linuxport {

// An application's accessibility tree read with one bulk cache fetch (org.a11y.atspi.Cache
// GetItems on the application's own connection): every object's place, role, interfaces, name
// and states at once. Texts and frames are then asked for many objects at a time. Values match
// what AtspiAccessibility::copyAttribute reads; a toolkit whose cache lists only part of an
// object's children leaves that object's children unknown.
class AtspiSnapshot : public platform::AXSnapshot {
 public:
  // Null when the application has no such cache, does not answer within timeoutMs, or does not
  // list element and all its ancestors.
  static std::unique_ptr<AtspiSnapshot> take(AtspiAccessible* element, int timeoutMs);
  // The same over an application's connection, for the object at elementPath.
  static std::unique_ptr<AtspiSnapshot> take(DBusConnection* bus, const std::string& busName,
                                             const std::string& elementPath, int timeoutMs);

  ~AtspiSnapshot() override;

  // "AXRole", "AXTitle", "AXValue" and "AXFrame"; any other name reads as a failure.
  std::optional<Values> read(const std::vector<int>& nodes, std::string_view name) override;

  using Item = AtspiReplies::Item;

 private:
  AtspiSnapshot(DBusConnection* bus, std::string busName, int timeoutMs);
  bool build(std::vector<Item> items, const std::string& elementPath);
  bool placeChildren();
  bool askChildren(std::vector<int> parents);
  int childFor(const std::pair<std::string, std::string>& ref, int parent, std::vector<int>& added);
  bool describe(const std::vector<int>& added);
  bool mapRoles();
  std::optional<std::vector<std::optional<std::string>>> attributes(const std::vector<int>& nodes,
                                                                    const char* key);
  bool ancestorsListed() const;
  std::optional<Values> texts(const std::vector<int>& nodes);
  std::optional<Values> frames(const std::vector<int>& nodes);

  DBusConnection* bus_;
  std::string busName_;
  int timeoutMs_;
  std::vector<Item> items_;
  std::unordered_map<std::string, int> byPath_;
};

}  // namespace linuxport
