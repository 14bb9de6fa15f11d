// Link-time fake of the MIDI player library: records every call.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Calls in order, e.g. "SetDevice(-1,0)", "Stop", "Free".
extern std::vector<std::string> MidiCalls;
// Runs after every recorded call, with its name; tests use it to look at the state then.
extern std::function<void(const std::string&)> OnMidiCall;
