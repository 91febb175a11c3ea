// The two lookup handlers over in-memory controls and canned answers.
#include "app/lookup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/controls.h"
#include "app/tests/canned_pages.h"
#include "app/tests/test_print.h"

namespace pl {
namespace {

using testing::DigitsFoundPage;
using testing::DigitsNotFoundPage;
using testing::PageWithoutMarkers;
using testing::PositionFoundPage;
using testing::PositionNotFoundPage;

constexpr const char* kBase = "http://service.test/";

// A fetch function that answers every request with one page and records the
// addresses asked for.
struct CannedService {
  Bytes page;
  std::vector<std::string> asked;
  FetchFunction Fetch() {
    return [this](const Text& url) {
      asked.push_back(url.str());
      return page;
    };
  }
};

struct Shown {
  const char* control;
  const char* text;
  bool visible;
};

void ExpectShown(const MemoryControls& c, const std::vector<Shown>& expected) {
  for (const Shown& s : expected) {
    SCOPED_TRACE(Cp936ToUtf8(s.control));
    EXPECT_EQ(c.ReadText(s.control), Text(s.text));
    EXPECT_EQ(c.IsVisible(s.control), s.visible);
  }
}

struct PositionCase {
  const char* name;
  Bytes page;
  std::vector<Shown> shown;
};

// After each answer: the result labels of the first page, their texts and
// whether they are shown.
std::vector<PositionCase> PositionCases() {
  return {
      {"found",
       PositionFoundPage(),
       {{"透明标签3", "在小数后", true},
        {"透明标签6", "5", true},
        {"透明标签7", "成功找到数字：", true},
        {"透明标签8", "1415", true},
        {"透明标签9", "926", true},
        {"透明标签10", "5358979323", true},
        {"透明标签14", "执行功能用时：", true},
        {"透明标签15", "0.012秒", true}}},
      {"not found",
       PositionNotFoundPage(),
       {{"透明标签3", "没找到！", true},
        {"透明标签6", "", true},
        {"透明标签7", "成功找到数字：", false},
        {"透明标签8", "", true},
        {"透明标签9", "", true},
        {"透明标签10", "", true},
        {"透明标签14", "执行功能用时：", false},
        {"透明标签15", "0.300秒", false}}},
      {"no markers",
       PageWithoutMarkers(),
       {{"透明标签3", "没找到！", true},
        {"透明标签6", "", true},
        {"透明标签7", "成功找到数字：", false},
        {"透明标签9", "", true},
        {"透明标签14", "执行功能用时：", false},
        {"透明标签15", "秒", false}}},
      {"request failed",
       Bytes(),
       {{"透明标签3", "无法连接到服务器！", true},
        {"透明标签6", "", true},
        {"透明标签7", "成功找到数字：", false},
        {"透明标签8", "", true},
        {"透明标签9", "", true},
        {"透明标签10", "", true},
        {"透明标签14", "执行功能用时：", false},
        {"透明标签15", "秒", false}}},
  };
}

TEST(LookUpPosition, EachAnswerFromStart) {
  for (const PositionCase& k : PositionCases()) {
    SCOPED_TRACE(k.name);
    MemoryControls c;
    c.WriteText("编辑框1", "926");
    CannedService service{k.page, {}};
    LookUpPosition(c, service.Fetch(), kBase);
    ASSERT_EQ(service.asked, std::vector<std::string>{"http://service.test/getNextIndex.do?number=926"});
    EXPECT_EQ(c.ReadText("编辑框2"), Utf8ToCp936(k.page));
    ExpectShown(c, k.shown);
  }
}

TEST(LookUpPosition, FoundNotFoundFoundAgain) {
  const std::vector<PositionCase> cases = PositionCases();
  MemoryControls c;
  c.WriteText("编辑框1", "926");
  for (int i : {0, 1, 3, 0, 2, 0}) {
    SCOPED_TRACE(cases[i].name);
    CannedService service{cases[i].page, {}};
    LookUpPosition(c, service.Fetch(), kBase);
    ExpectShown(c, cases[i].shown);
  }
}

TEST(LookUpPosition, SendsTheBoxTextAsItStands) {
  // The digits repeated in 透明标签9 are the box's, not the page's; an empty
  // box still asks.
  for (const char* typed : {"", "0926", "-1"}) {
    MemoryControls c;
    c.WriteText("编辑框1", typed);
    CannedService service{PositionFoundPage(), {}};
    LookUpPosition(c, service.Fetch(), kBase);
    ASSERT_EQ(service.asked.size(), 1u);
    EXPECT_EQ(service.asked[0], std::string("http://service.test/getNextIndex.do?number=") + typed);
    EXPECT_EQ(c.ReadText("透明标签9"), Text(typed));
  }
}

TEST(LookUpPosition, BlankPositionCountsAsFound) {
  MemoryControls c;
  CannedService service{testing::Utf8(u8"<strong class=\"text-primary\"> </strong>"), {}};
  LookUpPosition(c, service.Fetch(), kBase);
  EXPECT_EQ(c.ReadText("透明标签3"), Text("在小数后"));
  EXPECT_TRUE(c.IsVisible("透明标签7"));
}

struct DigitsCase {
  const char* name;
  Bytes page;
  std::vector<Shown> shown;
};

std::vector<DigitsCase> DigitsCases() {
  return {
      {"found",
       DigitsFoundPage(),
       {{"透明标签13", "在小数点后", true},
        {"透明标签17", "5", true},
        {"透明标签16", "数字是：", true},
        {"透明标签21", "1415", true},
        {"透明标签19", "9", true},
        {"透明标签20", "2653589793", true},
        {"透明标签22", "执行功能用时：", true},
        {"透明标签18", "0.002秒", true}}},
      {"not found",
       DigitsNotFoundPage(),
       {{"透明标签13", "没找到！", true},
        {"透明标签17", "", true},
        {"透明标签16", "数字是：", false},
        {"透明标签21", "", true},
        {"透明标签19", "", true},
        {"透明标签20", "", true},
        {"透明标签22", "执行功能用时：", false},
        {"透明标签18", "0.001秒", false}}},
      {"no markers",
       PageWithoutMarkers(),
       {{"透明标签13", "没找到！", true},
        {"透明标签17", "", true},
        {"透明标签16", "数字是：", false},
        {"透明标签22", "执行功能用时：", false},
        {"透明标签18", "秒", false}}},
      {"request failed",
       Bytes(),
       {{"透明标签13", "无法连接到服务器！", true},
        {"透明标签17", "", true},
        {"透明标签16", "数字是：", false},
        {"透明标签21", "", true},
        {"透明标签19", "", true},
        {"透明标签20", "", true},
        {"透明标签22", "执行功能用时：", false},
        {"透明标签18", "秒", false}}},
  };
}

TEST(LookUpDigits, EachAnswerFromStart) {
  for (const DigitsCase& k : DigitsCases()) {
    SCOPED_TRACE(k.name);
    MemoryControls c;
    c.WriteText("编辑框3", "5");
    CannedService service{k.page, {}};
    LookUpDigits(c, service.Fetch(), kBase);
    ASSERT_EQ(service.asked, std::vector<std::string>{"http://service.test/getNumber.do?index=5"});
    EXPECT_EQ(c.ReadText("编辑框4"), Utf8ToCp936(k.page));
    EXPECT_FALSE(c.IsVisible("编辑框4"));
    ExpectShown(c, k.shown);
  }
}

TEST(LookUpDigits, FoundNotFoundFoundAgain) {
  const std::vector<DigitsCase> cases = DigitsCases();
  MemoryControls c;
  c.WriteText("编辑框3", "5");
  for (int i : {0, 1, 3, 0, 2, 0}) {
    SCOPED_TRACE(cases[i].name);
    CannedService service{cases[i].page, {}};
    LookUpDigits(c, service.Fetch(), kBase);
    ExpectShown(c, cases[i].shown);
  }
}

TEST(LookUpDigits, LastPlaceIsShownAsTheServiceAnswers) {
  MemoryControls c;
  c.WriteText("编辑框3", "1000000000");
  CannedService service{testing::Utf8(u8"<strong class=\"text-primary\">1000000000</strong>是：<span>5779458151</span>"
                                      u8"<strong class = \"text-primary\">9</strong><span></span>"
                                      u8"时<strong class=\"text-primary\">0.004</strong>"),
                        {}};
  LookUpDigits(c, service.Fetch(), kBase);
  EXPECT_EQ(service.asked[0], "http://service.test/getNumber.do?index=1000000000");
  EXPECT_EQ(c.ReadText("透明标签17"), Text("1000000000"));
  EXPECT_EQ(c.ReadText("透明标签19"), Text("9"));
  EXPECT_EQ(c.ReadText("透明标签18"), Text("0.004秒"));

  // With no answer nothing is made up for that place either.
  CannedService down{Bytes(), {}};
  LookUpDigits(c, down.Fetch(), kBase);
  EXPECT_EQ(c.ReadText("透明标签19"), Text(""));
  EXPECT_EQ(c.ReadText("透明标签18"), Text("秒"));
}

TEST(LookUpDigits, DigitMarkerNeedsTheBlanksAroundItsEqualsSign) {
  MemoryControls c;
  CannedService service{testing::Utf8(u8"<strong class=\"text-primary\">5</strong>是：<span>1415</span>"
                                      u8"<strong class=\"text-primary\">9</strong><span>26</span>"),
                        {}};
  LookUpDigits(c, service.Fetch(), kBase);
  EXPECT_EQ(c.ReadText("透明标签17"), Text("5"));
  EXPECT_EQ(c.ReadText("透明标签19"), Text(""));
  EXPECT_EQ(c.ReadText("透明标签20"), Text("26"));
}

TEST(LookUpPages, EachPageKeepsItsOwnAnswer) {
  MemoryControls c;
  c.WriteText("编辑框1", "926");
  c.WriteText("编辑框3", "5");
  CannedService position{PositionFoundPage(), {}};
  CannedService digits{DigitsNotFoundPage(), {}};
  LookUpPosition(c, position.Fetch(), kBase);
  LookUpDigits(c, digits.Fetch(), kBase);
  EXPECT_EQ(c.ReadText("编辑框2"), Utf8ToCp936(PositionFoundPage()));
  ExpectShown(c, PositionCases()[0].shown);
  ExpectShown(c, DigitsCases()[1].shown);
}

}  // namespace
}  // namespace pl
