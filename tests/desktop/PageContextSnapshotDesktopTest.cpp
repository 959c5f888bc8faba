// The bulk snapshot of the AT-SPI port against the plain walk on the GTK 3 fixture: the same
// page context, and the same tree node by node. Inside tests/desktop/session.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FixtureApp.h"
#include "WalkOnlyAccessibility.h"
#include "base/Clock.h"
#include "field/PageContext.h"
#include "platform/AXSnapshot.h"
#include "platform/linux/AtspiAccessibility.h"

namespace {

using desktoptest::FixtureApp;
using platform::AXValue;
using platform::ElementRef;

class SnapshotDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("MIRELO_SESSION_ROOT"), nullptr)
        << "run me through tests/desktop/session";
    ASSERT_TRUE(ax.available());
  }

  void start(const std::vector<std::string>& args) {
    app = std::make_unique<FixtureApp>(args);
    ASSERT_TRUE(app->ready());
  }

  // The focused element once it is the named widget's text view.
  ElementRef focusOn(const std::string& widget) {
    app->focus(widget);
    ElementRef found;
    desktoptest::pumpUntil(
        [&] {
          auto v = ax.copyAttribute(ax.systemWide(), "AXFocusedUIElement");
          found = v && std::holds_alternative<ElementRef>(*v) ? std::get<ElementRef>(*v) : nullptr;
          return found && ax.copyAttribute(found, "AXRole") == AXValue(std::string("AXTextArea"));
        },
        10000);
    return found;
  }

  std::vector<ElementRef> children(const ElementRef& e) {
    auto v = ax.copyAttribute(e, "AXChildren");
    if (!v || !std::holds_alternative<std::vector<ElementRef>>(*v)) return {};
    return std::get<std::vector<ElementRef>>(*v);
  }

  // Pairs each snapshot node with the element the walk reaches at the same place, checking
  // the role and the number of children on the way.
  void pair(const platform::AXSnapshot& s, int node, const ElementRef& e,
            std::vector<std::pair<int, ElementRef>>& pairs) {
    const auto& n = s.nodes()[node];
    auto role = ax.copyAttribute(e, "AXRole");
    EXPECT_EQ(n.role ? std::optional<AXValue>(*n.role) : std::nullopt, role) << "node " << node;
    ASSERT_TRUE(n.childrenKnown) << "node " << node;
    auto walked = children(e);
    ASSERT_EQ(n.children.size(), walked.size()) << "node " << node;
    pairs.emplace_back(node, e);
    for (size_t i = 0; i < walked.size(); ++i)
      pair(s, n.children[i], walked[i], pairs);
  }

  void expectSameTree(const ElementRef& field) {
    auto s = ax.snapshot(field);
    ASSERT_TRUE(s);
    ElementRef top = field;
    for (int n = s->element(); n >= 0; n = s->nodes()[n].parent) {
      ASSERT_TRUE(top) << "the walk's ancestors end early";
      auto parent = ax.copyAttribute(top, "AXParent");
      if (s->nodes()[n].parent < 0) {
        EXPECT_FALSE(parent) << "the walk's ancestors go on";
      }
      if (parent) top = std::get<ElementRef>(*parent);
    }
    int root = s->element();
    while (s->nodes()[root].parent >= 0)
      root = s->nodes()[root].parent;
    std::vector<std::pair<int, ElementRef>> pairs;
    pair(*s, root, top, pairs);
    EXPECT_EQ(pairs.size(), s->nodes().size());
    std::vector<int> nodes;
    for (auto& [node, e] : pairs)
      nodes.push_back(node);
    for (const char* name : {"AXValue", "AXTitle", "AXFrame", "AXRole"}) {
      auto values = s->read(nodes, name);
      ASSERT_TRUE(values) << name;
      int differences = 0;
      for (size_t k = 0; k < pairs.size(); ++k)
        if ((*values)[k] != ax.copyAttribute(pairs[k].second, name) && ++differences < 5)
          ADD_FAILURE() << name << " differs at node " << pairs[k].first;
      EXPECT_EQ(differences, 0) << name;
    }
  }

  void expectSameReading(const ElementRef& element) {
    FocusedField field;
    field.element = element;
    desktoptest::WalkOnlyAccessibility walkOnly(ax);
    GLibClock clock;
    auto fast = PageContext::read(ax, clock, field);
    auto walked = PageContext::read(walkOnly, clock, field);
    ASSERT_TRUE(walked);
    EXPECT_EQ(fast, walked);
  }

  linuxport::AtspiAccessibility ax;
  std::unique_ptr<FixtureApp> app;
};

// Every window of the application: labels, the mail reader, entries, a password field and
// scrolled windows whose scroll bars the cache leaves out or gives no index.
TEST_F(SnapshotDesktop, SnapshotHoldsWhatTheWalkFindsNodeByNode) {
  start({"--windows=mail,labels,editor", "--labels=3000", "--focus=composer"});
  auto composer = focusOn("composer");
  ASSERT_TRUE(composer);
  expectSameTree(composer);
  expectSameReading(composer);

  app->stop();  // no snapshot of an element that is gone
  EXPECT_FALSE(ax.snapshot(composer));
  FocusedField field;
  field.element = composer;
  GLibClock clock;
  EXPECT_FALSE(PageContext::read(ax, clock, field));
}

}  // namespace
