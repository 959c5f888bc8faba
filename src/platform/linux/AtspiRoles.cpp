#include "platform/linux/AtspiRoles.h"

#include <string_view>

#include "platform/AXNames.h"

namespace AtspiRoles {

namespace {

constexpr std::string_view kObjectReplacement = "\xEF\xBF\xBC";

std::optional<std::string> textRole(AtspiRole role,
                                    const std::function<std::optional<States>()>& states,
                                    const Lazy& xmlRoles, const Lazy& text) {
  auto s = states();
  if (!s) return std::nullopt;
  if (s->editable) {
    if (s->multiLine) return platform::AXRoleName::kTextArea;
    if (role == ATSPI_ROLE_ENTRY) {
      auto roles = xmlRoles();
      if (roles && roles->find("searchbox") != std::string::npos)
        return platform::AXRoleName::kSearchField;
    }
    return platform::AXRoleName::kTextField;
  }
  // Read-only text shows a message rather than taking one.
  if (role == ATSPI_ROLE_SECTION && !isTextBlock(text())) return platform::AXRoleName::kGroup;
  return platform::AXRoleName::kStaticText;
}

}  // namespace

bool isTextBlock(const std::optional<std::string>& text) {
  if (!text || text->find(kObjectReplacement) != std::string::npos) return false;
  return text->find_first_not_of(" \t\r\n") != std::string::npos;
}

std::optional<std::string> mapped(AtspiRole role,
                                  const std::function<std::optional<States>()>& states,
                                  const Lazy& xmlRoles, const Lazy& text) {
  switch (role) {
    case ATSPI_ROLE_INVALID:
      return std::nullopt;
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_SECTION:
      return textRole(role, states, xmlRoles, text);
    case ATSPI_ROLE_PASSWORD_TEXT:
      return platform::AXRoleName::kSecureTextField;
    case ATSPI_ROLE_TERMINAL:
      return platform::AXRoleName::kTerminal;
    case ATSPI_ROLE_COMBO_BOX:
      return platform::AXRoleName::kComboBox;
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_CAPTION:
    case ATSPI_ROLE_PARAGRAPH:
      return platform::AXRoleName::kStaticText;
    case ATSPI_ROLE_HEADING:
      return platform::AXRoleName::kHeading;
    case ATSPI_ROLE_DOCUMENT_WEB: {
      // An editable document is a composer's body (Thunderbird's plain and HTML composers).
      auto s = states();
      if (!s) return std::nullopt;
      return s->editable ? platform::AXRoleName::kTextArea : platform::AXRoleName::kWebArea;
    }
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
      return platform::AXRoleName::kWindow;
    case ATSPI_ROLE_APPLICATION:
      return platform::AXRoleName::kApplication;
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_TOGGLE_BUTTON:
      return platform::AXRoleName::kButton;
    case ATSPI_ROLE_CHECK_BOX:
      return platform::AXRoleName::kCheckBox;
    case ATSPI_ROLE_RADIO_BUTTON:
      return platform::AXRoleName::kRadioButton;
    case ATSPI_ROLE_LINK:
      return platform::AXRoleName::kLink;
    case ATSPI_ROLE_IMAGE:
      return platform::AXRoleName::kImage;
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
      return platform::AXRoleName::kList;
    case ATSPI_ROLE_SCROLL_PANE:
      return platform::AXRoleName::kScrollArea;
    case ATSPI_ROLE_MENU_BAR:
      return platform::AXRoleName::kMenuBar;
    case ATSPI_ROLE_MENU:
      return platform::AXRoleName::kMenu;
    case ATSPI_ROLE_MENU_ITEM:
      return platform::AXRoleName::kMenuItem;
    default:
      return platform::AXRoleName::kGroup;
  }
}

bool hidesText(AtspiRole role) {
  return role == ATSPI_ROLE_PASSWORD_TEXT || role == ATSPI_ROLE_TERMINAL;
}

}  // namespace AtspiRoles
