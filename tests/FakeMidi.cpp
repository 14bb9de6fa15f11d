#include "FakeMidi.h"

#include "GuruGuruSMF.h"

std::vector<std::string> MidiCalls;
std::function<void(const std::string&)> OnMidiCall;

namespace {
void Record(const std::string& call) {
  MidiCalls.push_back(call);
  if (OnMidiCall)
    OnMidiCall(call);
}
} // namespace

extern "C" {
std::int32_t GGSSetDevice(std::int32_t device, std::int32_t flags) {
  Record("SetDevice(" + std::to_string(device) + "," + std::to_string(flags) + ")");
  return 0;
}
std::int32_t GGSStop() {
  Record("Stop");
  return 0;
}
std::int32_t GGSFree() {
  Record("Free");
  return 0;
}
}
