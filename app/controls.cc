#include "app/controls.h"

#include <cstdio>
#include <cstdlib>

#include "app/window_definition.h"

namespace pl {

MemoryControls::MemoryControls() {
  for (const ControlDefinition& c : MainWindowDefinition().controls) {
    states_[c.name] = State{c.text_at_start, c.visible_at_start};
  }
}

const MemoryControls::State& MemoryControls::Find(const Text& control) const {
  auto it = states_.find(control.str());
  if (it == states_.end()) {
    std::fprintf(stderr, "no control named %s in the window definition\n", control.c_str());
    std::abort();
  }
  return it->second;
}

MemoryControls::State& MemoryControls::Find(const Text& control) {
  return const_cast<State&>(static_cast<const MemoryControls&>(*this).Find(control));
}

Text MemoryControls::ReadText(const Text& control) const { return Find(control).text; }
void MemoryControls::WriteText(const Text& control, const Text& text) { Find(control).text = text; }
void MemoryControls::SetVisible(const Text& control, bool visible) { Find(control).visible = visible; }
bool MemoryControls::IsVisible(const Text& control) const { return Find(control).visible; }

}  // namespace pl
