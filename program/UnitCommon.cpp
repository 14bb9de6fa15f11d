#include "UnitCommon.h"

#include "SystemServices.h"
#include "UnitBmp.h"
#include "VelkForm.h"

std::unique_ptr<TVelkMidi> Midi;
std::unique_ptr<TVelkTimer> Timer;
std::int32_t DarkLevel = 10;

namespace {
constexpr std::int32_t kFrameInterval = 100;
}

void CommonStart(TVelkForm& window) {
  Randomize();
  Midi = std::make_unique<TVelkMidi>();
  Timer = std::make_unique<TVelkTimer>(window);
  SceneSetup();
  Timer->AddTask(SceneTick, kFrameInterval, "");
}

void CommonStop() {
  SceneFree();
  Midi.reset();
  Timer.reset();
}
