#include "base/Async.h"

#include <stdexcept>

#include "base/Log.h"

namespace async_detail {

void reportDetachedFailure(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    Log::app.error("작업 실패: %{public}s", e.what());
  } catch (...) {
    Log::app.error("작업 실패: %{public}s", "unknown");
  }
}

}  // namespace async_detail

struct Timer::State {
  Clock* clock = nullptr;
  Clock::TimerId id = 0;
  double interval = 0;
  bool repeats = false;
  bool active = false;
  std::function<void()> tick;
};

namespace {

void arm(const std::shared_ptr<Timer::State>& s) {
  std::weak_ptr<Timer::State> weak = s;
  s->id = s->clock->schedule(s->interval, [weak] {
    auto state = weak.lock();
    if (!state || !state->active) return;
    if (state->repeats) {
      arm(state);
    } else {
      state->active = false;
      state->id = 0;
    }
    auto tick = state->tick;  // the tick may stop or restart the timer
    tick();
  });
}

}  // namespace

void Timer::start(Clock& clock, double intervalSeconds, bool repeats, std::function<void()> tick) {
  stop();
  state_ = std::make_shared<State>();
  state_->clock = &clock;
  state_->interval = intervalSeconds;
  state_->repeats = repeats;
  state_->active = true;
  state_->tick = std::move(tick);
  arm(state_);
}

void Timer::stop() {
  if (!state_) return;
  if (state_->active && state_->id != 0) state_->clock->cancel(state_->id);
  state_->active = false;
  state_.reset();
}

bool Timer::active() const {
  return state_ && state_->active;
}
