// The darkness scene: its pictures, the tendril roots, the frame and the end test.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VelkBmp.h"

struct TRootPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  bool operator==(const TRootPoint&) const = default;
};

constexpr std::int32_t kSceneWidth = 400;
constexpr std::int32_t kSceneHeight = 256;
// Where the sprite's top-left pixel lands in the scene.
constexpr std::int32_t kSpriteLeft = 300;
constexpr std::int32_t kSpriteTop = 56;
// The part of the sprite searched for roots: exactly the part that shows.
constexpr std::int32_t kScanWidth = 100;
constexpr std::int32_t kScanHeight = 200;
constexpr std::int32_t kMinLevel = 10;
constexpr std::int32_t kMaxLevel = 300;

// Where the sprite is read from, relative to the working directory.
extern const std::string SpriteFile;

// The scene as the player sees it, 400 x 256.
extern std::unique_ptr<TVelkBitmap> BackBuffer;
// The character, keyed to its top-left colour, its roots blackened.
extern std::unique_ptr<TVelkBitmap> Sprite;
// Sprite pixels the tendrils grow from, in row-major order.
extern std::vector<TRootPoint> Roots;

// Makes the scene picture, loads and keys the sprite and collects its roots.
void SceneSetup();
// Loads `path` into Sprite, refuses one smaller than the scan area, keys it to its top-left
// colour and collects its roots (Sprite must exist).
void LoadSprite(const std::string& path);
// Rebuilds Roots from the sprite's pure-red pixels in its top-left 100 x 200 and blackens them.
void CollectRoots();
// Frees both scene pictures.
void SceneFree();
// Randomised rounding of DarkLevel / divisor; draws one number.
std::int32_t RandomRound(std::int32_t divisor);
// Turns `heading` by (turn - 50) steps of pi/500 and wraps it into -pi .. pi.
float TurnHeading(float heading, std::int32_t turn);
// Draws one tendril from scene point (x, y) onto BackBuffer.
void DrawTendril(std::int32_t x, std::int32_t y);
// Draws one tendril from every root.
void DrawAllTendrils();
// Draws a frame into BackBuffer: white, the sprite through its mask, one tendril per root.
void DrawScene();
// Lowers the level by one with probability 1/3 while it is above the minimum.
void SinkLevel();
// One frame: DrawScene, onto the window, then SinkLevel.
void SceneTick();
// True when every pixel of BackBuffer is black.
bool IsWorldDark();
// Raises EInvalidGraphic unless `sprite` is at least 100 x 200; `name` names its file.
void CheckSpriteSize(const TBitmap& sprite, const std::string& name);
