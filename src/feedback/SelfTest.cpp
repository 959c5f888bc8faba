#include "feedback/SelfTest.h"

#include <algorithm>
#include <charconv>

#include "account/Keychain.h"
#include "account/Settings.h"
#include "base/Log.h"
#include "base/Text.h"
#include "field/AX.h"
#include "field/Focus.h"
#include "field/PageContext.h"
#include "platform/AXNames.h"

namespace SelfTest {

namespace {

constexpr double kActivationWait = 1.5;
constexpr double kFocusPoll = 0.2;
constexpr int kFocusReads = 10;
constexpr double kAfterFire = 0.5;
// Keys to suggest instead of a conflicting one, the least used first.
constexpr TriggerKey kSuggestedKeys[] = {TriggerKey::controlRight, TriggerKey::metaRight,
                                         TriggerKey::altRight,     TriggerKey::shiftRight,
                                         TriggerKey::altLeft,      TriggerKey::metaLeft};

const char* yesNo(bool v) {
  return v ? "예" : "아니오";
}

// n polls of 0.2 s, written as a person would read it ("0.4", not 0.4000000000000001).
std::string waited(int polls) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(polls * 2) / 10.0);
  return std::string(buf, r.ptr);
}

std::optional<std::string> requestedApplication(const std::vector<std::string>& args) {
  auto it = std::find(args.begin(), args.end(), "--diagnose");
  if (it == args.end() || ++it == args.end() || it->rfind("--", 0) == 0) return std::nullopt;
  return *it;
}

class Run {
 public:
  Run(platform::Platform services, std::function<void(const std::string&)> out)
      : p_(services), out_(std::move(out)) {}

  void say(const std::string& line) {
    out_(line);
    Log::app.notice("[진단] %{public}s", line);
  }

  void header() {
    say("── Mirelo 진단 ──");
    say(std::string("손쉬운 사용   : ") + yesNo(p_.accessibility.isProcessTrusted(false)));
    say(std::string("입력 모니터링 : ") + yesNo(p_.keyboard.inputMonitoringGranted()));
    say(std::string("브라우저 담당 : ") + yesNo(Settings::handleBrowsers(p_.defaults)));
    say("트리거        : " + std::string(rawValue(Settings::triggerCode(p_.defaults))) + " / " +
        std::string(rawValue(Settings::triggerMode(p_.defaults))));
    say(std::string("로그인        : ") +
        yesNo(Keychain::get(p_.secrets, Keychain::kSessionToken).has_value()));
    keyConflict(Settings::triggerCode(p_.defaults));
  }

  // A trigger key that the layout makes an input-method key (한/영, 한자) never fires.
  void keyConflict(TriggerKey key) {
    const std::string keysym = p_.keyboard.keysymName(key);
    if (!isInputMethodKeysym(keysym)) return;
    say("✗ 트리거 키 충돌: " + display(key) + " 키가 지금 입력기 전환 키(" + keysym +
        ")로 쓰입니다 — 한/영·한자 전환과 겹치므로 이 키로는 트리거하지 않습니다");
    for (TriggerKey other : kSuggestedKeys) {
      const std::string otherKeysym = p_.keyboard.keysymName(other);
      if (other == key || otherKeysym.empty() || isInputMethodKeysym(otherKeysym)) continue;
      say("  → 다른 트리거 키를 고르세요 (예: " + display(other) + ")");
      return;
    }
    say("  → 다른 트리거 키를 고르세요");
  }

  void attributes(const platform::ElementRef& element) {
    auto& ax = p_.accessibility;
    say("역할: " + AX::string(ax, element, platform::AXAttribute::kRole).value_or("?") + " / " +
        AX::string(ax, element, platform::AXAttribute::kSubrole).value_or("-"));
    say("AXValue      : " + describe(AX::string(ax, element, platform::AXAttribute::kValue)));
    say("AXSelectedText: " +
        describe(AX::string(ax, element, platform::AXAttribute::kSelectedText)));
    say(std::string("쓰기 가능(AXValue): ") +
        yesNo(AX::isSettable(ax, element, platform::AXAttribute::kValue)));
    say(std::string("쓰기 가능(AXSelectedText): ") +
        yesNo(AX::isSettable(ax, element, platform::AXAttribute::kSelectedText)));
  }

  void context(const platform::RunningApplication& app, const platform::ElementRef& element) {
    FocusedField field;
    field.element = element;
    field.pid = app.pid;
    field.bundleID = app.bundleID;
    field.appName = app.name.empty() ? app.bundleID : app.name;
    field.value = "";
    auto reading = PageContext::read(p_.accessibility, p_.clock, field);
    if (!reading) {
      say("  ✗ 맥락을 못 읽었습니다(40자 미만)");
      return;
    }
    say("  ✓ 맥락 " + std::to_string(Text::characterCount(reading->text)) +
        "자 / 상대: " + reading->recipient.value_or("못 찾음"));
    static const Text::Regex newline("\n");
    say("  앞부분: " + newline.replaceAll(Text::prefix(reading->text, 80), " ⏎ "));
  }

  Task<void> readPath(const platform::RunningApplication& app,
                      const platform::ElementRef& element) {
    say("\n── Focus.read() (실제 트리거가 쓰는 경로) ──");
    std::optional<Focus::ReadFailure> failure;
    try {
      FocusedField field = co_await Focus::read(p_);
      say("✓ 읽음: " + field.appName + " / " + std::string(rawValue(field.readMethod)));
      say("  대상 글자 수: " + std::to_string(Text::characterCount(field.target())) +
          " (부분 치환: " + yesNo(field.hasSelection()) + ")");
      co_return;
    } catch (const Focus::ReadFailure& f) {
      failure = f;
    } catch (...) {
    }
    using Kind = Focus::ReadFailure::Kind;
    if (!failure || failure->kind() == Kind::noFocusedField) {
      say("✗ 포커스된 입력창이 없습니다");
    } else if (failure->kind() == Kind::unreadable) {
      say("✗ " + failure->appName() + " 의 입력창을 못 읽었습니다");
    } else if (failure->kind() == Kind::isBrowser) {
      say("✗ 브라우저는 확장 담당으로 꺼져 있습니다 (메뉴의 '브라우저에서도 사용')");
    } else {
      say("✗ 입력창이 비어 있습니다 — 새 답글을 만들 자리다. 맥락을 읽어본다:");
      context(app, element);
    }
  }

  Task<int> run(std::vector<std::string> args) {
    header();
    if (auto id = requestedApplication(args)) {
      auto running = p_.workspace.runningApplications();
      auto match = std::find_if(running.begin(), running.end(),
                                [&](const auto& a) { return a.bundleID == *id; });
      if (match == running.end()) {
        say("\n✗ 실행 중이 아닙니다: " + *id);
        co_return kExitNoApplication;
      }
      p_.workspace.activate(match->pid);
      say("\n" + *id + " 를 앞으로 불렀습니다 — 1.5초 기다립니다");
      co_await sleepFor(p_.clock, kActivationWait);
    }
    auto front = p_.workspace.frontmostApplication();
    if (!front) {
      say("\n✗ 최전면 앱을 알 수 없습니다");
      co_return kExitNoApplication;
    }
    say("\n최전면: " + (front->name.empty() ? std::string("?") : front->name) + " (" +
        front->bundleID + ")");
    bool browser = Focus::isBrowser(front->bundleID);
    say(std::string("브라우저로 아는 앱인가: ") + yesNo(browser));
    auto& ax = p_.accessibility;
    auto systemWide = ax.systemWide();
    say(std::string("깨우기 전 포커스 원소: ") +
        (AX::element(ax, systemWide, platform::AXAttribute::kFocusedUIElement) ? "있음" : "없음"));
    AX::wokenPids().erase(front->pid);
    AX::wakeAccessibility(ax, front->pid, browser);
    say("접근성 깨우기: " + ax.wakeDescription(browser));

    std::optional<platform::ElementRef> element;
    int misses = 0;
    for (int read = 0; read < kFocusReads; ++read) {
      element = AX::element(ax, systemWide, platform::AXAttribute::kFocusedUIElement);
      if (element) break;
      ++misses;
      if (read + 1 < kFocusReads) co_await sleepFor(p_.clock, kFocusPoll);
    }
    if (!element) {
      say("\n✗ 포커스된 입력창을 못 찾았습니다 (2초 동안 10번 확인)");
      say("  → 이 상태에서 단축키를 누르면 앱은 아무것도 하지 않습니다.");
      co_return kExitNoFocusedElement;
    }
    say("포커스 원소 발견: " + (misses == 0 ? std::string("즉시") : waited(misses) + "초 뒤"));
    attributes(*element);
    co_await readPath(*front, *element);

    if (std::find(args.begin(), args.end(), "--fire") != args.end()) {
      say("\n트리거 키를 합성합니다 (상주 인스턴스가 받습니다)");
      p_.keyboard.postTriggerTap();
      co_await sleepFor(p_.clock, kAfterFire);
      say("합성 완료 — 결과는 상주 인스턴스의 로그에 남습니다 (그 인스턴스의 터미널, 또는 "
          "journalctl -t mirelo)");
    }
    co_return kExitDone;
  }

 private:
  platform::Platform p_;
  std::function<void(const std::string&)> out_;
};

}  // namespace

std::string describe(const std::optional<std::string>& text) {
  if (!text) return "못 읽음(nil)";
  if (text->empty()) return "빈 문자열";
  return std::to_string(Text::characterCount(*text)) + "자";
}

Task<int> run(platform::Platform services, std::vector<std::string> arguments,
              std::function<void(const std::string&)> out) {
  Run r(services, std::move(out));
  co_return co_await r.run(std::move(arguments));
}

}  // namespace SelfTest
