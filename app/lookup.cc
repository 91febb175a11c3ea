#include "app/lookup.h"

namespace pl {
namespace {

// The markers around the values of the service's pages, matched byte for
// byte in code page 936.
constexpr const char* kFirstStrong = "<strong class=\"text-primary\">";
constexpr const char* kStrongEnd = "</strong>";
constexpr const char* kSpanEnd = "</span>";
constexpr const char* kTimeStart = "时<strong class=\"text-primary\">";
constexpr const char* kAfterStart = "</strong><span>";
constexpr const char* kSeconds = "秒";

// Position page.
constexpr const char* kBeforeMatchStart = "：<span>";
// Digit page: the digit element has a blank on each side of its "=".
constexpr const char* kBeforePlaceStart = "是：<span>";
constexpr const char* kDigitStart = "</span><strong class = \"text-primary\">";

// What a page shows in place of its result heading when the request got no
// answer at all, and when the answer held no result.
constexpr const char* kNoConnectionText = "无法连接到服务器！";
constexpr const char* kNotFoundText = "没找到！";

// The heading of a page that shows no result: a request that failed is not a
// search that found nothing.
Text NoResultText(const Bytes& body) { return body.empty() ? kNoConnectionText : kNotFoundText; }

}  // namespace

void LookUpPosition(Controls& c, const FetchFunction& fetch, const Text& base_address) {
  const Text url = Concat(base_address, "getNextIndex.do?number=", c.ReadText("编辑框1"));
  const Bytes body = fetch(url);
  c.WriteText("编辑框2", Utf8ToCp936(body));

  // Each value is cut out of the page text as the page box holds it.
  c.WriteText("透明标签6", TextBetween(c.ReadText("编辑框2"), kFirstStrong, kStrongEnd));
  c.WriteText("透明标签8", TextBetween(c.ReadText("编辑框2"), kBeforeMatchStart, kSpanEnd));
  c.WriteText("透明标签9", c.ReadText("编辑框1"));
  c.WriteText("透明标签10", TextBetween(c.ReadText("编辑框2"), kAfterStart, kSpanEnd));
  c.WriteText("透明标签15", Concat(TextBetween(c.ReadText("编辑框2"), kTimeStart, kStrongEnd), kSeconds));

  // An empty position is the only sign that the digits were not found.
  if (CompareText(c.ReadText("透明标签6"), "") == 0) {
    c.SetVisible("透明标签7", false);
    c.WriteText("透明标签3", NoResultText(body));
    c.SetVisible("透明标签3", true);
    c.WriteText("透明标签9", "");
    c.SetVisible("透明标签14", false);
    c.SetVisible("透明标签15", false);
  } else {
    c.SetVisible("透明标签7", true);
    c.SetVisible("透明标签3", true);
    c.WriteText("透明标签3", "在小数后");
    c.SetVisible("透明标签14", true);
    c.SetVisible("透明标签15", true);
  }
}

void LookUpDigits(Controls& c, const FetchFunction& fetch, const Text& base_address) {
  const Text url = Concat(base_address, "getNumber.do?index=", c.ReadText("编辑框3"));
  const Bytes body = fetch(url);
  c.WriteText("编辑框4", Utf8ToCp936(body));

  c.WriteText("透明标签17", TextBetween(c.ReadText("编辑框4"), kFirstStrong, kStrongEnd));
  c.WriteText("透明标签21", TextBetween(c.ReadText("编辑框4"), kBeforePlaceStart, kSpanEnd));
  c.WriteText("透明标签19", TextBetween(c.ReadText("编辑框4"), kDigitStart, kStrongEnd));
  c.WriteText("透明标签20", TextBetween(c.ReadText("编辑框4"), kAfterStart, kSpanEnd));
  c.WriteText("透明标签18", Concat(TextBetween(c.ReadText("编辑框4"), kTimeStart, kStrongEnd), kSeconds));

  // Every place, 1000000000 included, is shown as the service answers it.
  if (CompareText(c.ReadText("透明标签17"), "") == 0) {
    c.WriteText("透明标签13", NoResultText(body));
    c.SetVisible("透明标签16", false);
    c.SetVisible("透明标签22", false);
    c.SetVisible("透明标签18", false);
    c.SetVisible("透明标签13", true);
  } else {
    c.WriteText("透明标签13", "在小数点后");
    c.SetVisible("透明标签16", true);
    c.SetVisible("透明标签22", true);
    c.SetVisible("透明标签13", true);
    c.SetVisible("透明标签18", true);
  }
}

}  // namespace pl
