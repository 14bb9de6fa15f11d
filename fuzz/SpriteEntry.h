// The way a sprite file enters the scene, for the fuzzers and the replay test.
#pragma once

#include <string>

// Picture kinds the loader tells apart by the file name's ending.
enum class TSpriteFileKind { Bmp, Jpeg };

// The ending that makes the loader pick the decoder for `kind`.
std::string EndingFor(TSpriteFileKind kind);

// Loads `path` as the scene's sprite through start-up's own LoadSprite (LoadFromPath, the size
// check, keying on the top-left pixel, the root scan), draws it onto a scene-sized picture once and
// frees the scene again. Raises what those steps raise; the scene is freed either way.
void LoadAsSceneSprite(const std::string& path);
