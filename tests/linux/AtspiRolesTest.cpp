#include "platform/linux/AtspiRoles.h"

#include <gtest/gtest.h>

namespace {

using AtspiRoles::States;

std::optional<std::string> role(AtspiRole r, std::optional<States> states,
                                std::optional<std::string> text = std::nullopt) {
  return AtspiRoles::mapped(
      r, [&] { return states; }, [] { return std::optional<std::string>(); }, [&] { return text; });
}

// A composer's body is an editable document; a page is not, and a document whose states
// cannot be read (gone) has no role.
TEST(AtspiRoles, EditableDocumentsAreTextAreas) {
  EXPECT_EQ(role(ATSPI_ROLE_DOCUMENT_WEB, States{true, true}), "AXTextArea");
  EXPECT_EQ(role(ATSPI_ROLE_DOCUMENT_WEB, States{true, false}), "AXTextArea");
  EXPECT_EQ(role(ATSPI_ROLE_DOCUMENT_WEB, States{false, false}), "AXWebArea");
  EXPECT_EQ(role(ATSPI_ROLE_DOCUMENT_WEB, std::nullopt), std::nullopt);
}

TEST(AtspiRoles, SectionsReadAsTextOnlyWhenTheirTextIsTheirOwn) {
  EXPECT_EQ(role(ATSPI_ROLE_SECTION, States{}, "회의 자료"), "AXStaticText");
  EXPECT_EQ(role(ATSPI_ROLE_SECTION, States{}, "첨부: \xEF\xBF\xBC"), "AXGroup");
  EXPECT_EQ(role(ATSPI_ROLE_SECTION, States{}, " \n"), "AXGroup");
  EXPECT_EQ(role(ATSPI_ROLE_SECTION, States{true, true}), "AXTextArea");
}

}  // namespace
