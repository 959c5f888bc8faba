#include "feedback/StatusWindow.h"

#include <algorithm>
#include <cstdio>

#include "account/Api.h"
#include "account/Keychain.h"
#include "account/Settings.h"
#include "feedback/Palette.h"

namespace {

using Element = platform::FormWindow::Element;
using Kind = Element::Kind;
using Weight = platform::FormWindow::Weight;
using Align = platform::FormWindow::Align;
using ButtonStyle = platform::FormWindow::ButtonStyle;

constexpr const char* kEmail = "emailLabel";
constexpr const char* kLogout = "logoutButton";
constexpr const char* kPrimary = "primary";
constexpr const char* kUsage = "usageValue";
constexpr const char* kMeterFill = "meterFill";
constexpr const char* kMessage = "message";

Element label(platform::Rect frame, std::string text, double size, platform::Rgb color,
              Weight weight = Weight::regular) {
  Element e;
  e.kind = Kind::label;
  e.frame = frame;
  e.text = std::move(text);
  e.pointSize = size;
  e.color = color;
  e.weight = weight;
  return e;
}

Element wrapping(platform::Rect frame, std::string text, double size) {
  Element e = label(frame, std::move(text), size, Palette::textDim);
  e.wraps = true;
  return e;
}

Element button(ButtonStyle style, platform::Rect frame, std::string title,
               std::function<void()> action) {
  Element e;
  e.kind = Kind::button;
  e.style = style;
  e.frame = frame;
  e.text = std::move(title);
  e.action = std::move(action);
  switch (style) {
    case ButtonStyle::primary:
      e.pointSize = 13.5, e.weight = Weight::semibold, e.color = {255, 255, 255};
      e.fill = Palette::bark, e.cornerRadius = 10;
      break;
    case ButtonStyle::link:
      e.pointSize = 11.5, e.color = Palette::textDim;
      break;
    case ButtonStyle::ghost:
      e.pointSize = 11.5, e.weight = Weight::medium, e.color = Palette::text;
      e.fill = {255, 255, 255}, e.cornerRadius = 7;
      break;
  }
  return e;
}

Element box(platform::Rect frame, platform::Rgb fill, double radius = 0) {
  Element e;
  e.kind = Kind::box;
  e.frame = frame;
  e.fill = fill;
  e.cornerRadius = radius;
  return e;
}

Element named(Element e, const char* name) {
  e.name = name;
  return e;
}

}  // namespace

StatusWindow::StatusWindow(platform::Platform platform, WindowFactory makeWindow)
    : p_(platform), makeWindow_(std::move(makeWindow)) {}

StatusWindow::Shape StatusWindow::currentShape() {
  Shape s;
  s.signedIn = signedIn_;
  s.needsInput = !p_.keyboard.inputMonitoringGranted();
  s.needsAX = !trusted_;
  s.needsRelaunch = s.needsInput || (isTapDead && isTapDead());
  s.canUndo = canUndo && canUndo();
  return s;
}

std::function<void()> StatusWindow::relay(std::function<void()> StatusWindow::*callback) {
  return [this, callback] {
    if (this->*callback) (this->*callback)();
  };
}

std::vector<Element> StatusWindow::buildContent(const Shape& shape, double& height) {
  std::string key = display(Settings::triggerCode(p_.defaults));
  std::vector<Element> out;
  Element icon;
  icon.kind = Kind::image;
  icon.frame = {24, 18, 24, 24};
  icon.imagePath = appIcon;
  out.push_back(icon);
  out.push_back(label({56, 21, 140, 19}, "Mirelo", 15, Palette::text, Weight::semibold));
  Element logout =
      button(ButtonStyle::link, {276, 22, 60, 17}, "로그아웃", relay(&StatusWindow::onSignOut));
  logout.align = Align::right;
  out.push_back(named(logout, kLogout));
  out.push_back(
      label({24, 48, 312, 16}, "브라우저 밖에서, 내 말투로 고쳐 쓰기", 11.5, Palette::textDim));
  Element email = label({24, 76, 312, 17}, "", 12, Palette::textDim);
  email.truncates = true;
  email.hidden = shape.signedIn;
  out.push_back(named(email, kEmail));
  double y = shape.signedIn ? 76 : 100;
  out.push_back(named(button(ButtonStyle::primary, {24, y, 312, 40}, "", [this] { tapPrimary(); }),
                      kPrimary));
  y += 62;
  if (shape.signedIn) {
    out.push_back(label({24, y, 160, 15}, "이번 달 사용량", 11.5, Palette::textDim));
    Element value = label({216, y, 120, 15}, "—", 11.5, Palette::textDim);
    value.align = Align::right;
    out.push_back(named(value, kUsage));
    Element track = box({24, y + 21, kMeterWidth, 4}, Palette::meterTrack, 2);
    track.children.push_back(named(box({0, 0, 0, 4}, Palette::honeyDeep, 2), kMeterFill));
    out.push_back(track);
    y += 49;
  }
  if (shape.needsInput || shape.needsAX) {
    out.push_back(box({24, y, 312, 1}, Palette::line));
    y += 18;
  }
  auto permission = [&](const char* title, const char* why,
                        std::function<void()> StatusWindow::*open) {
    out.push_back(label({24, y, 200, 17}, title, 12.5, Palette::text, Weight::medium));
    out.push_back(label({24, y + 17, 210, 15}, why, 11, Palette::textDim));
    out.push_back(button(ButtonStyle::ghost, {280, y + 3, 56, 24}, "열기", relay(open)));
    y += 40;
  };
  if (shape.needsInput)
    permission("입력 모니터링", "단축키를 받기 위해", &StatusWindow::onOpenInputMonitoring);
  if (shape.needsAX)
    permission("손쉬운 사용", "입력창을 읽고 쓰기 위해", &StatusWindow::onOpenAccessibility);
  if (shape.needsInput || shape.needsAX) {
    out.push_back(wrapping(
        {24, y + 2, 312, 30},
        "키 입력은 저장하지 않습니다. " + key + " 를 누른 그때, 그 입력창의 글만 읽어요.", 11));
    y += 34;
  }
  if (shape.needsRelaunch) {
    out.push_back(
        wrapping({24, y + 2, 224, 30}, "권한을 켰는데도 조용하면 앱을 다시 켜야 적용됩니다.", 11));
    out.push_back(button(ButtonStyle::ghost, {260, y, 76, 25}, "다시 켜기",
                         relay(&StatusWindow::onRelaunch)));
    y += 38;
  }
  out.push_back(box({24, y, 312, 1}, Palette::line));
  out.push_back(wrapping({24, y + 16, 312, 32},
                         "아무 입력창에 커서를 두고 " + key + " 를 한 번 누르세요.", 11.5));
  y += 50;
  out.push_back(button(ButtonStyle::link, {24, y, 88, 20}, "최근 기록",
                       relay(&StatusWindow::onShowDiagnostics)));
  if (shape.canUndo) {
    // The message, usually beside the link, moves to a line of its own below the two links.
    out.push_back(button(ButtonStyle::link, {116, y, 160, 20}, "방금 고친 글 되돌리기",
                         relay(&StatusWindow::onUndo)));
    y += kUndoLineHeight;
    out.push_back(named(wrapping({24, y - 6, 312, 32}, "", 11), kMessage));
  } else {
    out.push_back(named(wrapping({116, y - 6, 220, 32}, "", 11), kMessage));
  }
  height = y + 28;
  return out;
}

void StatusWindow::rebuild(const Shape& shape) {
  double height = 0;
  auto content = buildContent(shape, height);
  builtShape_ = shape;
  contentHeight_ = height;
  primaryTitled_ = false;
  window_->setContent(std::move(content), height);
}

void StatusWindow::show() {
  if (!window_) {
    window_ = makeWindow_();
    window_->onClose = [this] { refreshTimer_.stop(); };
  }
  refreshMarks();
  p_.ui.activateSelf();
  window_->present();
  loadUsage();
  startRefreshing();
}

void StatusWindow::refreshMarks() {
  if (!window_) return;
  signedIn_ = Keychain::get(p_.secrets, Keychain::kSessionToken).has_value();
  checkTrust();
  applyShape();
}

void StatusWindow::checkTrust() {
  if (checkingTrust_) return;
  checkingTrust_ = true;
  p_.accessibility.checkTrust([weak = weak_from_this()](bool trusted) {
    if (auto self = weak.lock()) self->trustAnswered(trusted);
  });
}

void StatusWindow::trustAnswered(bool trusted) {
  checkingTrust_ = false;
  trusted_ = trusted;
  if (onTrustAnswer) onTrustAnswer(trusted);
  // A closed window is brought up to date when it is shown again.
  if (refreshing()) applyShape();
}

void StatusWindow::applyShape() {
  Shape shape = currentShape();
  if (!builtShape_ || shape != *builtShape_) rebuild(shape);
  window_->setText(kEmail, shape.signedIn ? "" : "아직 로그인 전입니다");
  window_->setHidden(kLogout, !shape.signedIn);
  if (shape.signedIn != signedInForPrimary_ || !primaryTitled_) {
    signedInForPrimary_ = shape.signedIn;
    primaryTitled_ = true;
    window_->setText(kPrimary, shape.signedIn ? "Mirelo 열기" : "구글로 로그인");
  }
}

void StatusWindow::tapPrimary() {
  // Decided now: the session may have ended since the title was set.
  bool signedIn = Keychain::get(p_.secrets, Keychain::kSessionToken).has_value();
  auto& callback = signedIn ? onOpenDashboard : onSignIn;
  if (callback) callback();
}

void StatusWindow::loadUsage() {
  if (!Keychain::get(p_.secrets, Keychain::kSessionToken)) return;
  spawn([](std::weak_ptr<StatusWindow> weak, platform::Platform p) -> Task<void> {
    std::string text = "—";
    double percent = 0;
    try {
      Api::Usage usage = co_await Api::usage(p);
      if (usage.plan == "byok") {
        text = "한도 없음";
      } else if (usage.capKrw && *usage.capKrw > 0) {
        percent = std::min(usage.spentKrw.value_or(0) / *usage.capKrw * 100, 100.0);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f%%", percent);
        text = buffer;
      }
    } catch (...) {
      text = "—";
      percent = 0;
    }
    if (auto self = weak.lock()) self->showUsage(text, percent * kMeterWidth / 100);
  }(weak_from_this(), p_));
}

void StatusWindow::showUsage(const std::string& text, double fill) {
  if (!window_) return;
  window_->setText(kUsage, text);
  window_->setWidth(kMeterFill, fill);
}

void StatusWindow::setMessage(const std::string& text, bool isError) {
  if (!window_ || !builtShape_) return;
  window_->setText(kMessage, text);
  window_->setTextColor(kMessage, isError ? Palette::bad : Palette::textDim);
}

void StatusWindow::startRefreshing() {
  refreshTimer_.start(p_.clock, kRefreshSeconds, true, [this] {
    checkTrust();
    applyShape();
  });
}
