// The window table itself: what every back end relies on.
#include "app/window_definition.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace pl {
namespace {

TEST(WindowDefinition, NamesAreUniqueAndEachButtonRunsOneAction) {
  std::set<std::string> names;
  std::set<ButtonAction> actions;
  int focused = 0;
  for (const ControlDefinition& c : MainWindowDefinition().controls) {
    EXPECT_TRUE(names.insert(c.name).second) << Cp936ToUtf8(c.name);
    EXPECT_EQ(FindControl(c.name), &c);
    if (c.kind == ControlKind::kButton) {
      EXPECT_TRUE(actions.insert(c.action).second);
    }
    focused += c.focus_at_start;
  }
  EXPECT_EQ(actions, (std::set<ButtonAction>{ButtonAction::kLookUpPosition, ButtonAction::kLookUpDigits,
                                             ButtonAction::kOpenProfile}));
  EXPECT_EQ(focused, 1);
  EXPECT_EQ(FindControl("编辑框9"), nullptr);
}

TEST(WindowDefinition, CentredOnTheScreen) {
  EXPECT_EQ(CentredOrigin(1024, 768, 517, 329), (Point{253, 219}));
  EXPECT_EQ(CentredOrigin(1920, 1080, 517, 329), (Point{701, 375}));
  EXPECT_EQ(CentredOrigin(517, 329, 517, 329), (Point{0, 0}));
}

}  // namespace
}  // namespace pl
