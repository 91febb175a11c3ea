#include "progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <numeric>

namespace pidigits {

Progress::Progress(std::ostream& out, bool terminal, std::vector<PhaseWeight> phases)
    : out_(&out), terminal_(terminal), phases_(std::move(phases)), done_(phases_.size(), 0.0),
      began_(phases_.size(), -1.0),
      start_(Clock::now()), last_draw_(start_ - std::chrono::hours(1)) {
  double total = 0;
  for (const auto& p : phases_) total += p.weight;
  if (total <= 0) total = 1;
  for (auto& p : phases_) p.weight /= total;
}

Progress Progress::Silent() { return Progress(std::cerr, false, {}); }

double Progress::FractionLocked() const {
  double f = 0;
  for (std::size_t i = 0; i < phases_.size(); ++i) f += phases_[i].weight * done_[i];
  return std::clamp(f, 0.0, 1.0);
}

double Progress::Percent() const {
  std::lock_guard lock(mutex_);
  return 100.0 * FractionLocked();
}

std::string Progress::FormatDuration(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  long s = std::lround(seconds);
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ldh %02ldm", s / 3600, (s % 3600) / 60);
  else if (s >= 60)
    std::snprintf(buf, sizeof buf, "%ldm %02lds", s / 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%lds", s);
  return buf;
}

void Progress::Begin(std::size_t index) {
  std::lock_guard lock(mutex_);
  if (index >= phases_.size()) return;
  for (std::size_t i = 0; i < index; ++i) done_[i] = 1.0;
  current_ = index;
  began_[index] = std::chrono::duration<double>(Clock::now() - start_).count();
  DrawLocked(true);
}

void Progress::Advance(std::size_t index, double amount) {
  std::lock_guard lock(mutex_);
  if (index >= phases_.size()) return;
  done_[index] = std::min(1.0, done_[index] + amount);
  DrawLocked(false);
}

void Progress::Set(std::size_t index, double fraction) {
  std::lock_guard lock(mutex_);
  if (index >= phases_.size()) return;
  done_[index] = std::clamp(fraction, 0.0, 1.0);
  DrawLocked(false);
}

std::string Progress::PhaseTimes() const {
  std::lock_guard lock(mutex_);
  const double now = std::chrono::duration<double>(Clock::now() - start_).count();
  std::string text;
  for (std::size_t i = 0; i < phases_.size(); ++i) {
    if (began_[i] < 0) continue;
    double end = now;
    for (std::size_t j = i + 1; j < phases_.size(); ++j)
      if (began_[j] >= 0) {
        end = began_[j];
        break;
      }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s%s %.1fs", text.empty() ? "" : ", ", phases_[i].name.c_str(),
                  end - began_[i]);
    text += buf;
  }
  return text;
}

void Progress::Done() {
  std::lock_guard lock(mutex_);
  if (finished_) return;
  std::fill(done_.begin(), done_.end(), 1.0);
  if (!phases_.empty()) current_ = phases_.size() - 1;
  DrawLocked(true);
  finished_ = true;
  if (terminal_ && !phases_.empty()) *out_ << "\n" << std::flush;
}

void Progress::DrawLocked(bool force) {
  if (finished_ || phases_.empty()) return;
  const auto now = Clock::now();
  const double fraction = FractionLocked();
  const int step = static_cast<int>(fraction * 20);  // 5 % steps
  if (terminal_) {
    if (!force && now - last_draw_ < std::chrono::milliseconds(200)) return;
  } else if (!force && step == last_step_) {
    return;
  }
  last_draw_ = now;
  last_step_ = step;

  const double elapsed = std::chrono::duration<double>(now - start_).count();
  std::string left;
  if (fraction >= 1.0)
    left = "done in " + FormatDuration(elapsed);
  else if (fraction >= 0.005 && elapsed >= 0.5)
    left = "time left " + FormatDuration(elapsed * (1 - fraction) / fraction);
  else
    left = "time left estimating...";

  constexpr int kWidth = 20;
  const int filled = static_cast<int>(fraction * kWidth);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  char line[160];
  std::snprintf(line, sizeof line, "[%s] %3d%%  %-20s %s", bar.c_str(),
                static_cast<int>(fraction * 100), phases_[current_].name.c_str(), left.c_str());
  if (terminal_)
    *out_ << "\r" << line << "\x1b[K" << std::flush;
  else
    *out_ << line << "\n" << std::flush;
}

}  // namespace pidigits
