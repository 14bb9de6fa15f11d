// Link-time fake of the MIDI player library: records every call.
#pragma once

#include <string>
#include <vector>

// Calls in order, e.g. "SetDevice(-1,0)", "Stop", "Free".
extern std::vector<std::string> MidiCalls;
