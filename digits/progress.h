// Progress bar of a long run on standard error: phase, percent done of the
// whole run, and the time left.
//
// On a terminal the bar is redrawn in place with '\r' a few times a second;
// otherwise (a log file, a pipe) it prints a plain line whenever the phase
// changes and at every 5 percent:
//
//   [########............]  42%  series             time left 3m 10s
//
// Each phase has a weight (its expected share of the run's time); the percent
// is the weighted sum of the phases' fractions. Workers on several threads may
// call Advance at once.
//
//   pidigits::Progress progress(std::cerr, isatty(2), {{"series", 0.5}, {"division", 0.5}});
//   progress.Begin(0); progress.Advance(0, 0.25); ... progress.Begin(1); ... progress.Done();
#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace pidigits {

struct PhaseWeight {
  std::string name;
  double weight;
};

class Progress {
 public:
  Progress(std::ostream& out, bool terminal, std::vector<PhaseWeight> phases);
  // A progress that prints nothing (for callers that want no output).
  static Progress Silent();

  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  Progress(Progress&&) = delete;

  // Starts phase `index` (phases before it count as done).
  void Begin(std::size_t index);
  // Adds `amount` (a fraction of the phase, 0..1) to the phase's progress.
  void Advance(std::size_t index, double amount);
  // Sets the phase's progress to `fraction`.
  void Set(std::size_t index, double fraction);
  // Marks the whole run done and ends the line.
  void Done();

  // Seconds each phase took so far ("series 5.1s, division 0.8s"), in the
  // order of the phases; phases not yet begun are left out.
  std::string PhaseTimes() const;

  // Percent (0..100) of the whole run done so far.
  double Percent() const;

  // "2h 05m", "3m 10s", "12s".
  static std::string FormatDuration(double seconds);

 private:
  using Clock = std::chrono::steady_clock;
  double FractionLocked() const;
  void DrawLocked(bool force);

  std::ostream* out_;
  bool terminal_;
  std::vector<PhaseWeight> phases_;
  std::vector<double> done_;  // fraction of each phase
  std::vector<double> began_;  // seconds from the start when each phase began, -1 if not yet
  std::size_t current_ = 0;
  Clock::time_point start_;
  Clock::time_point last_draw_;
  int last_step_ = -1;  // last 5 % step printed as a plain line
  bool finished_ = false;
  mutable std::mutex mutex_;
};

}  // namespace pidigits
