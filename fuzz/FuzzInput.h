// Shared body of the libFuzzer harnesses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SpriteEntry.h"

// Writes the input to a file with the loader's ending for `kind` in a private temporary folder
// (TMPDIR; tools/fuzz.sh points it at tmpfs) and loads it as the scene's sprite. The platform's
// own errors are the expected answer to bad input; anything else escapes and ends the run.
int FuzzSpriteFile(const std::uint8_t* data, std::size_t size, TSpriteFileKind kind);
