#include "app/StatusMenu.h"

#include <utility>

namespace StatusMenu {

namespace {

using Row = platform::StatusItem::Row;

struct ModeChoice {
  const char* title;
  TriggerMode mode;
};
constexpr ModeChoice kModes[] = {
    {"한 번 누르기", TriggerMode::single},
    {"두 번 누르기", TriggerMode::double_},
    {"끄기", TriggerMode::off},
};

Row item(std::string title, std::function<void()> action) {
  Row row;
  row.title = std::move(title);
  row.action = std::move(action);
  return row;
}

Row modeSubmenu(const State& state, const Actions& actions) {
  Row menu;
  menu.kind = Row::Kind::submenu;
  menu.title = "트리거";
  for (const auto& choice : kModes) {
    std::string raw(rawValue(choice.mode));
    std::function<void()> choose;
    if (actions.changeMode) choose = [change = actions.changeMode, raw] { change(raw); };
    Row row = item(choice.title, std::move(choose));
    row.radio = true;
    row.checked = choice.mode == state.mode;
    menu.children.push_back(std::move(row));
  }
  return menu;
}

// Rows 6 to 9: what stops the trigger now, most pressing first, and its separator.
void addStatusBlock(std::vector<Row>& out, const State& state, const Actions& actions) {
  if (state.secureInput)
    out.push_back(item("보안 입력 중 — 일시 정지됨", nullptr));
  else if (state.tapDead)
    out.push_back(item("단축키가 적용되지 않았습니다 — 다시 켜기", actions.relaunchNow));
  else if (!missingPermission(state).empty())
    out.push_back(item(missingPermission(state) + " 권한이 필요합니다", actions.showOnboarding));
  else
    return;
  out.push_back(Row::separator());
}

}  // namespace

bool State::ready() const {
  return signedIn && accessibilityTrusted && inputMonitoringGranted && !secureInput && !tapDead;
}

std::string missingPermission(const State& state) {
  if (!state.inputMonitoringGranted && !state.accessibilityTrusted)
    return "입력 모니터링·손쉬운 사용";
  if (!state.inputMonitoringGranted) return "입력 모니터링";
  if (!state.accessibilityTrusted) return "손쉬운 사용";
  return "";
}

std::string tooltip(const State& state) {
  if (!state.ready()) return "Mirelo — 설정이 필요합니다";
  return "Mirelo — " + display(state.key) + " 로 고쳐 쓰기";
}

std::vector<Row> rows(const State& state, const Actions& actions) {
  std::vector<Row> out;
  out.push_back(item("Mirelo 열기", actions.showWindow));
  if (state.signedIn) out.push_back(item("타르노 대시보드", actions.showDashboard));
  out.push_back(Row::separator());
  if (!state.signedIn) {
    out.push_back(item("구글로 로그인", actions.signIn));
    out.push_back(Row::separator());
  }
  addStatusBlock(out, state, actions);
  out.push_back(item("입력창에서 " + display(state.key) + " 를 한 번 누르면 고쳐 씁니다", nullptr));
  // No accelerator: tray menus cannot deliver one; the trigger key is the keyboard path.
  out.push_back(item("선택한 글 번역", actions.translateNow));
  if (state.canUndo) out.push_back(item("방금 고친 글 되돌리기", actions.undoLastWrite));
  out.push_back(Row::separator());
  out.push_back(modeSubmenu(state, actions));
  Row browsers = item("브라우저에서도 사용", actions.toggleBrowsers);
  browsers.checked = state.handleBrowsers;
  out.push_back(std::move(browsers));
  out.push_back(item("최근 기록 보기", actions.showDiagnostics));
  out.push_back(item("업데이트 확인", actions.checkForUpdates));
  out.push_back(Row::separator());
  if (state.signedIn) out.push_back(item("로그아웃", actions.signOut));
  out.push_back(item("Mirelo 종료", actions.quit));
  return out;
}

}  // namespace StatusMenu
