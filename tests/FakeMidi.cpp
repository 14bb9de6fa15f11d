#include "FakeMidi.h"

#include "GuruGuruSMF.h"

std::vector<std::string> MidiCalls;

extern "C" {
std::int32_t GGSSetDevice(std::int32_t device, std::int32_t flags) {
  MidiCalls.push_back("SetDevice(" + std::to_string(device) + "," + std::to_string(flags) + ")");
  return 0;
}
std::int32_t GGSStop() {
  MidiCalls.push_back("Stop");
  return 0;
}
std::int32_t GGSFree() {
  MidiCalls.push_back("Free");
  return 0;
}
}
