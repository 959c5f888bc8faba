#include "platform/linux/AtspiRoles.h"

namespace AtspiRoles {

namespace {

std::optional<std::string> textRole(AtspiRole role,
                                    const std::function<std::optional<States>()>& states,
                                    const std::function<std::optional<std::string>()>& xmlRoles) {
  auto s = states();
  if (!s) return std::nullopt;
  if (s->editable) {
    if (s->multiLine) return "AXTextArea";
    if (role == ATSPI_ROLE_ENTRY) {
      auto roles = xmlRoles();
      if (roles && roles->find("searchbox") != std::string::npos) return "AXSearchField";
    }
    return "AXTextField";
  }
  // Read-only text shows a message rather than taking one.
  if (role == ATSPI_ROLE_SECTION) return "AXGroup";
  return "AXStaticText";
}

}  // namespace

std::optional<std::string> mapped(AtspiRole role,
                                  const std::function<std::optional<States>()>& states,
                                  const std::function<std::optional<std::string>()>& xmlRoles) {
  switch (role) {
    case ATSPI_ROLE_INVALID:
      return std::nullopt;
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_SECTION:
      return textRole(role, states, xmlRoles);
    case ATSPI_ROLE_PASSWORD_TEXT:
      return "AXSecureTextField";
    case ATSPI_ROLE_TERMINAL:
      return "AXTerminal";
    case ATSPI_ROLE_COMBO_BOX:
      return "AXComboBox";
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_CAPTION:
    case ATSPI_ROLE_PARAGRAPH:
      return "AXStaticText";
    case ATSPI_ROLE_HEADING:
      return "AXHeading";
    case ATSPI_ROLE_DOCUMENT_WEB:
      return "AXWebArea";
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
      return "AXWindow";
    case ATSPI_ROLE_APPLICATION:
      return "AXApplication";
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_TOGGLE_BUTTON:
      return "AXButton";
    case ATSPI_ROLE_CHECK_BOX:
      return "AXCheckBox";
    case ATSPI_ROLE_RADIO_BUTTON:
      return "AXRadioButton";
    case ATSPI_ROLE_LINK:
      return "AXLink";
    case ATSPI_ROLE_IMAGE:
      return "AXImage";
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
      return "AXList";
    case ATSPI_ROLE_SCROLL_PANE:
      return "AXScrollArea";
    case ATSPI_ROLE_MENU_BAR:
      return "AXMenuBar";
    case ATSPI_ROLE_MENU:
      return "AXMenu";
    case ATSPI_ROLE_MENU_ITEM:
      return "AXMenuItem";
    default:
      return "AXGroup";
  }
}

bool hidesText(AtspiRole role) {
  return role == ATSPI_ROLE_PASSWORD_TEXT || role == ATSPI_ROLE_TERMINAL;
}

}  // namespace AtspiRoles
