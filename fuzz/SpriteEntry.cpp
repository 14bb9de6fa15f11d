#include "SpriteEntry.h"

#include "UnitBmp.h"

namespace {

class TSceneReleaser {
public:
  TSceneReleaser() = default;
  ~TSceneReleaser() {
    SceneFree();
    Roots.clear();
  }
  TSceneReleaser(const TSceneReleaser&) = delete;
  TSceneReleaser& operator=(const TSceneReleaser&) = delete;
};

} // namespace

std::string EndingFor(TSpriteFileKind kind) {
  return kind == TSpriteFileKind::Jpeg ? ".jpg" : ".bmp";
}

void LoadAsSceneSprite(const std::string& path) {
  const TSceneReleaser releaser;
  BackBuffer = std::make_unique<TVelkBitmap>();
  BackBuffer->Allocate(kSceneWidth, kSceneHeight, PixelWhite);
  Sprite = std::make_unique<TVelkBitmap>();
  LoadSprite(path);
  // The masked draw reads the sprite and its mask wherever they overlap the scene.
  Sprite->DrawOn(*BackBuffer, kSpriteLeft, kSpriteTop);
}
