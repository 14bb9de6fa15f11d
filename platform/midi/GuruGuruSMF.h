// The three entry points of the MIDI player library that the program binds.
#pragma once

#include <cstdint>

extern "C" {
// Selects the output device; the program passes -1 and 0.
std::int32_t GGSSetDevice(std::int32_t device, std::int32_t flags);
// Stops playback; harmless when nothing plays.
std::int32_t GGSStop();
// Releases the library; the last call into it.
std::int32_t GGSFree();
}
