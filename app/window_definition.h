// window_definition.h: the main window as data.
//
// One table holds every control of the window: its name, kind, where it lives
// (on the window or on one of the two pages of the tab control), its place and
// size, whether it is visible at start, its text at start and its look. A
// toolkit back end (app/qt/ on Linux) builds the window from this table alone;
// the lookup handlers speak to the controls by the names given here.
//
//   const pl::WindowDefinition& w = pl::MainWindowDefinition();
//   for (const pl::ControlDefinition& c : w.controls) {
//     if (c.kind == pl::ControlKind::kLabel) { ... c.place.x, c.font.pixel_size ... }
//   }
//   const pl::ControlDefinition* box = pl::FindControl("编辑框1");  // null when unknown
//
// Every text here is code page 936, like every Text of the program.
#pragma once

#include <cstdint>
#include <span>

#include "text/text.h"

namespace pl {

enum class ControlKind { kTabControl, kButton, kEditBox, kLabel };

// Where a control lives. Places of controls on a page are relative to the
// tab control's top left-hand corner (so y = 24 is just below the tab
// headers); places of controls on the window are relative to its client area.
enum class ControlParent { kWindow, kFirstPage, kSecondPage };

enum class Alignment { kLeft, kCenter, kRight };

// What an edit box accepts and how it behaves.
enum class EditStyle {
  kNone,           // not an edit box
  kDigitString,    // integer input box holding a string of digits (kept as typed)
  kIntegerNumber,  // integer input box holding a number (rewritten as one)
  kMultiLine,      // multi-line, vertical scroll bar, no length limit, any input
  kSingleLine,     // single line, no length limit, any input
};

enum class Picture { kNone, kPi };

// What a click on a button runs.
enum class ButtonAction { kNone, kLookUpPosition, kLookUpDigits, kOpenProfile };

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A font by character height and weight, with no face name: the face is the
// system's choice. A pixel size of 0 means the system's default GUI font.
struct FontChoice {
  int pixel_size = 0;
  int weight = 0;
  bool is_default_gui_font() const { return pixel_size == 0; }
};

inline constexpr FontChoice kDefaultGuiFont{0, 0};
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kRed = 0xFF0000;

struct ControlDefinition {
  const char* name;
  ControlKind kind;
  ControlParent parent;
  Rect place;
  bool visible_at_start;
  const char* text_at_start;  // caption or content; "" for none
  FontChoice font;
  std::uint32_t color;  // 0xRRGGBB, the text colour of a label
  Alignment alignment;
  bool word_wrap;       // labels: break at word boundaries and CR LF, start at the top
  EditStyle edit_style;
  Picture picture;      // a button showing a picture in place of its caption
  int picture_size;     // the picture's side in pixels (square)
  ButtonAction action;  // buttons: the handler of the click
  bool focus_at_start;  // the one control holding the keyboard focus at start
};

struct WindowDefinition {
  const char* title;
  int outer_width;   // the frame's size; the window is centred with it
  int outer_height;
  // The client area, for a back end that sizes the inside of the window
  // (the window manager adds its own frame): the tab control's size.
  int client_width;
  int client_height;
  const char* first_page_title;
  const char* second_page_title;
  std::span<const ControlDefinition> controls;
};

const WindowDefinition& MainWindowDefinition();

// The definition of the control with this name; null when there is none.
const ControlDefinition* FindControl(const Text& name);

// Left and top of a window of outer size w x h centred on a screen of
// screen_w x screen_h: (screen - size) / 2, divided as integers.
struct Point {
  int x;
  int y;
  friend bool operator==(const Point&, const Point&) = default;
};
Point CentredOrigin(int screen_w, int screen_h, int w, int h);

}  // namespace pl
