#include "UnitCommon.h"

#include "SystemServices.h"
#include "VelkForm.h"

std::unique_ptr<TVelkTimer> Timer;
std::int32_t DarkLevel = 10;

void CommonStart(TVelkForm& window) {
  Randomize();
  Timer = std::make_unique<TVelkTimer>(window);
}

void CommonStop() { Timer.reset(); }
