// progress.h: a progress bar on standard error for long jobs, with an
// estimate of the time left.
//
//   pisvc::ProgressBar bar("building index", true);
//   for (...) bar.Set(done / total);
//   bar.Done();
//
// On a terminal the bar redraws in place at most five times a second; when
// standard error is not a terminal (a log file) it writes one line per tenth.
#pragma once

#include <chrono>
#include <string>

namespace pisvc {

class ProgressBar {
 public:
  ProgressBar(std::string label, bool enabled);
  // `fraction` of the whole job is done (0 to 1); calls may come often.
  void Set(double fraction);
  // Draws 100% with the time taken and ends the line.
  void Done();

 private:
  void Draw(double fraction, bool final);
  std::string label_;
  bool enabled_;
  bool tty_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  int last_tenth_ = -1;
  bool done_ = false;
};

}  // namespace pisvc
