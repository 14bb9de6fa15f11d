// The program's unit-level state, put back as a fresh process has it, so whole-program tests can
// run one after another in one process.
#pragma once

#include "SystemServices.h"
#include "UnitBmp.h"
#include "UnitCommon.h"
#include "VelkMidi.h"
#include "VelkTimer.h"

inline void ResetProgramState() {
  DarkLevel = 10;
  Tasks.clear();
  Roots.clear();
  TimerExists = false;
  MidiExists = false;
  SetRandomSource(nullptr);
}
