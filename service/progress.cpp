#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace pisvc {

ProgressBar::ProgressBar(std::string label, bool enabled)
    : label_(std::move(label)),
      enabled_(enabled),
      tty_(isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()),
      last_draw_(start_ - std::chrono::seconds(1)) {}

void ProgressBar::Set(double fraction) {
  if (!enabled_ || done_) return;
  fraction = std::clamp(fraction, 0.0, 1.0);
  auto now = std::chrono::steady_clock::now();
  if (tty_) {
    if (now - last_draw_ < std::chrono::milliseconds(200)) return;
  } else {
    int tenth = static_cast<int>(fraction * 10);
    if (tenth == last_tenth_) return;
    last_tenth_ = tenth;
  }
  last_draw_ = now;
  Draw(fraction, false);
}

void ProgressBar::Done() {
  if (!enabled_ || done_) return;
  done_ = true;
  Draw(1.0, true);
}

void ProgressBar::Draw(double fraction, bool final) {
  constexpr int kWidth = 30;
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  int filled = static_cast<int>(fraction * kWidth);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kWidth - filled), '.');
  char tail[64];
  if (final) {
    std::snprintf(tail, sizeof tail, "done in %.1f s", elapsed);
  } else if (fraction > 0.01) {
    std::snprintf(tail, sizeof tail, "about %.0f s left", elapsed / fraction * (1 - fraction));
  } else {
    std::snprintf(tail, sizeof tail, "estimating time left");
  }
  std::fprintf(stderr, "%s%s [%s] %3d%%  %-24s%s", tty_ ? "\r" : "", label_.c_str(), bar.c_str(),
               static_cast<int>(fraction * 100), tail, (final || !tty_) ? "\n" : "");
  std::fflush(stderr);
}

}  // namespace pisvc
