// controls.h: the operations that the lookup handlers use on the window's
// controls, each naming one control by its name in the window definition.
//
//   void Handler(pl::Controls& c) {
//     pl::Text digits = c.ReadText("编辑框1");
//     c.WriteText("透明标签9", digits);
//     c.SetVisible("透明标签7", true);
//   }
//
// A toolkit back end implements them over real widgets; MemoryControls holds
// the same state in memory, so that the handlers run without any window.
#pragma once

#include <map>
#include <string>

#include "text/text.h"

namespace pl {

class Controls {
 public:
  virtual ~Controls() = default;
  // An edit box's current content or a label's current caption. Reading back
  // a text just written yields the same bytes.
  virtual Text ReadText(const Text& control) const = 0;
  // The control keeps a copy; a label shows it at once, an edit box replaces
  // its whole content with it.
  virtual void WriteText(const Text& control, const Text& text) = 0;
  // Shows or hides the control on its page (or on the window). A control on a
  // page that is not current keeps the setting and shows it when its page does.
  virtual void SetVisible(const Text& control, bool visible) = 0;
  virtual bool IsVisible(const Text& control) const = 0;
};

// Every control of the main window definition with its text and visibility at
// start, held in memory. A name that the definition lacks is a programming
// error: the call reports it on standard error and aborts.
class MemoryControls final : public Controls {
 public:
  MemoryControls();
  Text ReadText(const Text& control) const override;
  void WriteText(const Text& control, const Text& text) override;
  void SetVisible(const Text& control, bool visible) override;
  bool IsVisible(const Text& control) const override;

 private:
  struct State {
    Text text;
    bool visible = false;
  };
  const State& Find(const Text& control) const;
  State& Find(const Text& control);
  std::map<std::string, State> states_;
};

}  // namespace pl
