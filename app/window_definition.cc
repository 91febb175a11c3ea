// The table of the main window's controls.
#include "app/window_definition.h"

#include <array>

namespace pl {
namespace {

constexpr const char* kDescription1 =
    "查询数字在圆周率中的位置\r\n\r\n"
    "先将您要查找的数字输入后，点击查找，结果将在半秒内从π的小数点后前1000000000位的数字中查找给出。\r\n\r\n"
    "例如您输入926这三个数字，那么查找后的结果将是5，表示926出现在π的小数点后第5位";

constexpr const char* kDescription2 =
    "查询圆周率中的数字\r\n\r\n"
    "先将您要查看的第几位输入后，点击查看，结果将在半秒内从π的小数点后前1000000000位的数字中查找给出。\r\n\r\n"
    "例如您输入5，表示您要查看第5位附近的数字，那么查找后的结果将由第5位以前10个数字和第5位以后20个数字组成。";

constexpr FontChoice kLabelFont{12, 700};  // a label's font unless told otherwise
constexpr FontChoice kRegular14{14, 400};
constexpr FontChoice kRegular12{12, 400};
constexpr FontChoice kRegular16{16, 400};

constexpr ControlParent W = ControlParent::kWindow;
constexpr ControlParent P1 = ControlParent::kFirstPage;
constexpr ControlParent P2 = ControlParent::kSecondPage;

// A label: black, bold 12 pixels, left-aligned, one line, unless told otherwise.
constexpr ControlDefinition Label(const char* name, ControlParent parent, Rect place, bool visible,
                                  const char* text, FontChoice font = kLabelFont, std::uint32_t color = kBlack,
                                  Alignment alignment = Alignment::kLeft, bool word_wrap = false) {
  return {name, ControlKind::kLabel, parent, place, visible, text, font, color, alignment, word_wrap,
          EditStyle::kNone, Picture::kNone, 0, ButtonAction::kNone, false};
}

constexpr ControlDefinition Button(const char* name, ControlParent parent, Rect place, const char* caption,
                                   ButtonAction action, Picture picture = Picture::kNone, int picture_size = 0) {
  return {name,  ControlKind::kButton, parent,  place,        true,   caption, kDefaultGuiFont, kBlack, Alignment::kCenter,
          false, EditStyle::kNone,     picture, picture_size, action, false};
}

constexpr ControlDefinition Edit(const char* name, ControlParent parent, Rect place, bool visible, EditStyle style,
                                 FontChoice font = kDefaultGuiFont, bool focus_at_start = false) {
  return {name,  ControlKind::kEditBox, parent,         place, visible,           "",  font, kBlack, Alignment::kLeft,
          false, style,                 Picture::kNone, 0,     ButtonAction::kNone, focus_at_start};
}

constexpr std::array kControls = {
    // On the window.
    ControlDefinition{"选择夹1", ControlKind::kTabControl, W, {0, 0, 512, 304}, true, "", kDefaultGuiFont, kBlack,
                      Alignment::kLeft, false, EditStyle::kNone, Picture::kNone, 0, ButtonAction::kNone, false},
    Button("按钮3", W, {480, 0, 32, 32}, "", ButtonAction::kOpenProfile, Picture::kPi, 48),
    Edit("编辑框2", W, {568, 168, 72, 80}, true, EditStyle::kMultiLine),

    // First page, "找找我的数字".
    Label("透明标签2", P1, {0, 24, 504, 56}, true, kDescription1, kRegular14, kBlack, Alignment::kLeft, true),
    Label("透明标签1", P1, {16, 96, 32, 32}, true, "查找：", kDefaultGuiFont),
    Edit("编辑框1", P1, {80, 96, 280, 32}, true, EditStyle::kDigitString, kRegular16, true),
    Button("按钮1", P1, {376, 96, 80, 32}, "查找", ButtonAction::kLookUpPosition),
    Label("透明标签3", P1, {8, 144, 56, 24}, false, "在小数后"),
    Label("透明标签6", P1, {72, 144, 176, 24}, true, "", kLabelFont, kRed),
    Label("透明标签7", P1, {8, 176, 88, 24}, false, "成功找到数字："),
    Label("透明标签8", P1, {104, 176, 64, 24}, true, "", kLabelFont, kBlack, Alignment::kRight),
    Label("透明标签9", P1, {184, 176, 72, 24}, true, "", kLabelFont, kRed),
    Label("透明标签10", P1, {256, 176, 136, 24}, true, ""),
    Label("透明标签14", P1, {8, 208, 88, 24}, false, "执行功能用时："),
    Label("透明标签15", P1, {104, 208, 80, 24}, true, ""),

    // Second page, "看看那儿的情况".
    Label("透明标签11", P2, {8, 24, 496, 88}, true, kDescription2, kRegular12, kBlack, Alignment::kLeft, true),
    Label("透明标签12", P2, {24, 120, 40, 32}, true, "查找：", kDefaultGuiFont),
    Edit("编辑框3", P2, {64, 120, 280, 32}, true, EditStyle::kIntegerNumber),
    Button("按钮2", P2, {360, 120, 80, 32}, "查找", ButtonAction::kLookUpDigits),
    Label("透明标签13", P2, {16, 160, 64, 24}, false, "在小数点后"),
    Label("透明标签17", P2, {88, 160, 128, 24}, true, ""),
    Label("透明标签16", P2, {16, 192, 48, 24}, false, "数字是："),
    Label("透明标签21", P2, {72, 192, 72, 24}, true, ""),
    Label("透明标签19", P2, {152, 192, 72, 24}, true, "", kLabelFont, kRed),
    Label("透明标签20", P2, {232, 192, 88, 24}, true, ""),
    Label("透明标签22", P2, {16, 224, 88, 24}, false, "执行功能用时："),
    Label("透明标签18", P2, {112, 224, 168, 24}, true, ""),
    Edit("编辑框4", P2, {416, 208, 80, 20}, false, EditStyle::kSingleLine),
};

constexpr WindowDefinition kWindow{
    "", 517, 329, 512, 304, "找找我的数字", "看看那儿的情况", std::span<const ControlDefinition>(kControls),
};

}  // namespace

const WindowDefinition& MainWindowDefinition() { return kWindow; }

const ControlDefinition* FindControl(const Text& name) {
  for (const ControlDefinition& c : kControls) {
    if (name == Text(c.name)) return &c;
  }
  return nullptr;
}

Point CentredOrigin(int screen_w, int screen_h, int w, int h) { return {(screen_w - w) / 2, (screen_h - h) / 2}; }

}  // namespace pl
