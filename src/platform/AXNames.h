#pragma once

// The accessibility seam's vocabulary, named once: a misspelt name does not compile, where a
// misspelt string would read as absent.
namespace platform {

// Attribute names (copyAttribute, setAttribute, isAttributeSettable).
namespace AXAttribute {
inline constexpr char kValue[] = "AXValue";
inline constexpr char kSelectedText[] = "AXSelectedText";
inline constexpr char kSelectedTextRange[] = "AXSelectedTextRange";
inline constexpr char kPlaceholderValue[] = "AXPlaceholderValue";
inline constexpr char kRole[] = "AXRole";
inline constexpr char kSubrole[] = "AXSubrole";
inline constexpr char kTitle[] = "AXTitle";
inline constexpr char kFrame[] = "AXFrame";
inline constexpr char kParent[] = "AXParent";
inline constexpr char kChildren[] = "AXChildren";
inline constexpr char kFocused[] = "AXFocused";
inline constexpr char kFocusedUIElement[] = "AXFocusedUIElement";
inline constexpr char kManualAccessibility[] = "AXManualAccessibility";
inline constexpr char kEnhancedUserInterface[] = "AXEnhancedUserInterface";
// The parameterised attribute (copyParameterizedAttribute).
inline constexpr char kBoundsForRange[] = "AXBoundsForRange";
}  // namespace AXAttribute

// Values of "AXRole" and "AXSubrole".
namespace AXRoleName {
inline constexpr char kTextField[] = "AXTextField";
inline constexpr char kTextArea[] = "AXTextArea";
inline constexpr char kComboBox[] = "AXComboBox";
inline constexpr char kSearchField[] = "AXSearchField";
inline constexpr char kSecureTextField[] = "AXSecureTextField";
inline constexpr char kStaticText[] = "AXStaticText";
inline constexpr char kHeading[] = "AXHeading";
inline constexpr char kWebArea[] = "AXWebArea";
inline constexpr char kTerminal[] = "AXTerminal";
inline constexpr char kApplication[] = "AXApplication";
inline constexpr char kWindow[] = "AXWindow";
inline constexpr char kGroup[] = "AXGroup";
inline constexpr char kScrollArea[] = "AXScrollArea";
inline constexpr char kButton[] = "AXButton";
inline constexpr char kCheckBox[] = "AXCheckBox";
inline constexpr char kRadioButton[] = "AXRadioButton";
inline constexpr char kLink[] = "AXLink";
inline constexpr char kImage[] = "AXImage";
inline constexpr char kList[] = "AXList";
inline constexpr char kMenu[] = "AXMenu";
inline constexpr char kMenuBar[] = "AXMenuBar";
inline constexpr char kMenuItem[] = "AXMenuItem";
}  // namespace AXRoleName

}  // namespace platform
