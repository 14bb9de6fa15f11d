// Start-up and shut-down of the shared services.
#pragma once

#include <cstdint>
#include <memory>

#include "VelkMidi.h"
#include "VelkTimer.h"

class TVelkForm;

extern std::unique_ptr<TVelkMidi> Midi;
extern std::unique_ptr<TVelkTimer> Timer;
// The darkness level: 10 at start, always 10 .. 300.
extern std::int32_t DarkLevel;

// Brings the services up, in order, for the main window `window`.
void CommonStart(TVelkForm& window);
// Takes down whatever CommonStart made, in order; safe after a start-up that failed midway.
void CommonStop();
