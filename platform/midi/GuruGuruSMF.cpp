// Our stand-in for the MIDI player library: it plays nothing, it keeps the selected device.
#include "GuruGuruSMF.h"

namespace {

constexpr std::int32_t kNoError = 0;
std::int32_t selectedDevice = -1;
std::int32_t selectedFlags = 0;

} // namespace

extern "C" {

__attribute__((visibility("default"))) std::int32_t GGSSetDevice(std::int32_t device,
                                                                 std::int32_t flags) {
  selectedDevice = device;
  selectedFlags = flags;
  return kNoError;
}

__attribute__((visibility("default"))) std::int32_t GGSStop() {
  return kNoError;
}

__attribute__((visibility("default"))) std::int32_t GGSFree() {
  selectedDevice = -1;
  selectedFlags = 0;
  return kNoError;
}
}
