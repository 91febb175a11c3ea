#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "progress.h"

namespace pidigits {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Progress, PlainLinesAtPhaseChangesAndEveryFivePercent) {
  std::ostringstream out;
  Progress p(out, false, {{"series", 3}, {"conversion", 1}});
  p.Begin(0);
  for (int i = 0; i < 100; ++i) p.Advance(0, 0.01);
  p.Begin(1);
  p.Set(1, 0.5);
  p.Done();
  const std::string text = out.str();
  EXPECT_EQ(text.find('\r'), std::string::npos);
  const auto lines = Lines(text);
  // 0 %, each 5 % step of the series (75 % of the run), the phase change,
  // 85 % and 100 %.
  ASSERT_GE(lines.size(), 17u);
  EXPECT_LE(lines.size(), 22u);
  int last = -1;
  for (const auto& line : lines) {
    const int percent = std::stoi(line.substr(line.find(']') + 1));
    EXPECT_GE(percent, last) << line;
    last = percent;
  }
  EXPECT_NE(lines.front().find("series"), std::string::npos);
  EXPECT_NE(lines.back().find("100%"), std::string::npos);
  EXPECT_NE(lines.back().find("conversion"), std::string::npos);
  EXPECT_NE(lines.back().find("done in"), std::string::npos);
  EXPECT_NE(text.find("75%  conversion"), std::string::npos);
}

TEST(Progress, TerminalRedrawsInPlaceAndEndsTheLine) {
  std::ostringstream out;
  Progress p(out, true, {{"series", 1}});
  p.Begin(0);
  p.Set(0, 0.5);
  p.Done();
  const std::string text = out.str();
  EXPECT_EQ(text.front(), '\r');
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\n'), text.size() - 1);  // one line, redrawn
  EXPECT_NE(text.find("100%"), std::string::npos);
}

TEST(Progress, EstimatesOnlyOnceUnderwayAndClamps) {
  std::ostringstream out;
  Progress p(out, false, {{"work", 1}});
  p.Begin(0);
  // Nothing is known at 0 %.
  EXPECT_NE(out.str().find("estimating"), std::string::npos);
  EXPECT_DOUBLE_EQ(p.Percent(), 0.0);
  p.Advance(0, 0.25);
  p.Advance(0, 2.0);  // overshoot is clamped
  EXPECT_DOUBLE_EQ(p.Percent(), 100.0);
}

TEST(Progress, FormatsDurations) {
  struct Case {
    double seconds;
    const char* text;
  };
  for (const Case& c : {Case{0, "0s"}, Case{59.4, "59s"}, Case{61, "1m 01s"},
                        Case{3599, "59m 59s"}, Case{7500, "2h 05m"}, Case{-3, "0s"}})
    EXPECT_EQ(Progress::FormatDuration(c.seconds), c.text) << c.seconds;
}

TEST(Progress, IgnoresUnknownPhases) {
  std::ostringstream out;
  Progress p(out, false, {{"work", 1}});
  p.Begin(3);
  p.Advance(7, 0.5);
  EXPECT_DOUBLE_EQ(p.Percent(), 0.0);
  EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace pidigits
