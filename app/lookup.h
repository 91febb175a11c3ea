// lookup.h: the handlers of the two lookup pages.
//
// Each asks the pi-digit service one question and writes the answer into the
// labels of its page, through the control operations and a page-fetching
// function handed in (FetchPage in the program, a canned answer in tests):
//
//   pl::MemoryControls c;
//   c.WriteText("编辑框1", "926");
//   pl::LookUpPosition(c, [](const pl::Text& url) { return pl::FetchPage(url); },
//                      "http://127.0.0.1:8314/");
//   // c.ReadText("透明标签6") == "5"
#pragma once

#include <functional>

#include "app/controls.h"
#include "text/text.h"

namespace pl {

// One GET request for the address; empty Bytes when the request failed.
using FetchFunction = std::function<Bytes(const Text& url)>;

// The first page: where the digits of 编辑框1 first occur. Asks
// base + "getNextIndex.do?number=" + the box's text (unencoded), keeps the
// page text in 编辑框2 and shows the position, the digits around it and the
// service's time, or the not-found state: "没找到！" when the answer held no
// position, "无法连接到服务器！" when the request got no answer at all.
void LookUpPosition(Controls& controls, const FetchFunction& fetch, const Text& base_address);

// The second page: the digits around the place of 编辑框3. Asks
// base + "getNumber.do?index=" + the box's text, keeps the page text in
// 编辑框4 and shows the place, the digits before, at and after it and the
// service's time, or the no-answer state ("没找到！", or "无法连接到服务器！"
// when the request got no answer at all).
void LookUpDigits(Controls& controls, const FetchFunction& fetch, const Text& base_address);

}  // namespace pl
