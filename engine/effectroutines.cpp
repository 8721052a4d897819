// The effect routine catalogue: for every effect the worker knows, its
// caption, the suffix of its output names and its effect step, in the order
// the worker tests the captions.
#include "engine/applythread.h"

const std::vector<TEffectRoutine>& EffectRoutines() {
  static const std::vector<TEffectRoutine> routines = {
      {"Convert to selected format", "(Convert)"},
  };
  return routines;
}

const TEffectRoutine* FindEffectRoutine(const std::string& effectName) {
  for (const TEffectRoutine& routine : EffectRoutines()) {
    bool match = routine.MatchesFirstFour ? SameText(effectName.substr(0, 4), routine.Caption.substr(0, 4))
                                          : SameText(effectName, routine.Caption);
    if (match) return &routine;
  }
  return nullptr;
}
