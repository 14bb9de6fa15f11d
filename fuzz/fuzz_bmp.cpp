// libFuzzer harness: the input as a sprite file named *.bmp, loaded the way start-up loads it.
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return FuzzSpriteFile(data, size, TSpriteFileKind::Bmp);
}
