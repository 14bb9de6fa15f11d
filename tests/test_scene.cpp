// The darkness scene: roots, tendrils and their random draws, over the headless platform.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "PlatformFixture.h"
#include "SpriteFiles.h"
#include "UnitBmp.h"
#include "UnitCommon.h"

namespace {

constexpr TColor kKey = RGBColor(0, 255, 0);
constexpr TColor kRed = RGBColor(255, 0, 0);

class SceneTest : public PlatformFixture {
protected:
  void SetUp() override {
    PlatformFixture::SetUp();
    DarkLevel = 10;
    Roots.clear();
  }
  void TearDown() override {
    SceneFree();
    Roots.clear();
    DarkLevel = 10;
    PlatformFixture::TearDown();
  }
  // A white scene with a black pen, as set-up leaves it, without a sprite.
  void MakeScene() {
    BackBuffer = std::make_unique<TVelkBitmap>();
    BackBuffer->Allocate(400, 256, PixelWhite);
    BackBuffer->Canvas().Pen.Color = clBlack;
  }
  std::int32_t BlackPixels() const {
    std::int32_t count = 0;
    for (std::int32_t y = 0; y < 256; ++y)
      for (std::int32_t x = 0; x < 400; ++x)
        count += SamePixel(BackBuffer->FRows[y][x], PixelBlack) ? 1 : 0;
    return count;
  }
};

TEST_F(SceneTest, SetUpCollectsRootsInRowMajorOrderAndBlackensThem) {
  ScopedWorkDir dir;
  WriteBmp("dat/fiwa.bmp", SpritePicture{100,
                                         200,
                                         kKey,
                                         {{{5, 0}, kRed},
                                          {{2, 1}, kRed},
                                          {{1, 1}, kRed},
                                          {{3, 3}, RGBColor(254, 0, 0)}, // near reds stay
                                          {{4, 3}, RGBColor(255, 0, 1)},
                                          {{6, 3}, RGBColor(255, 1, 0)}}});
  SceneSetup();
  EXPECT_EQ(Roots, (std::vector<TRootPoint>{{5, 0}, {1, 1}, {2, 1}}));
  for (const TRootPoint& root : Roots)
    EXPECT_TRUE(SamePixel(Sprite->FRows[root.Y][root.X], PixelBlack));
  EXPECT_TRUE(SamePixel(Sprite->FRows[3][3], TPixel{0, 0, 254}));
  EXPECT_TRUE(SamePixel(Sprite->FRows[3][4], TPixel{1, 0, 255}));
  EXPECT_TRUE(SamePixel(Sprite->FRows[3][6], TPixel{0, 1, 255}));
  // The key colour turned black in the sprite.
  EXPECT_TRUE(SamePixel(Sprite->FRows[0][0], PixelBlack));
  // The scene starts white with a black pen, and the level is untouched.
  EXPECT_EQ(BlackPixels(), 0);
  EXPECT_EQ(BackBuffer->Canvas().Pen.Color, clBlack);
  EXPECT_EQ(DarkLevel, 10);
}

TEST_F(SceneTest, RedsOutsideTheScanAreaOrKeyedAwayAreNoRoots) {
  ScopedWorkDir dir;
  WriteBmp("dat/fiwa.bmp",
           SpritePicture{120, 220, kKey, {{{100, 5}, kRed}, {{5, 200}, kRed}, {{99, 199}, kRed}}});
  SceneSetup();
  EXPECT_EQ(Roots, (std::vector<TRootPoint>{{99, 199}}));
  EXPECT_TRUE(SamePixel(Sprite->FRows[5][100], PixelRed));
  EXPECT_TRUE(SamePixel(Sprite->FRows[200][5], PixelRed));
  SceneFree();

  // A red top-left pixel makes red the key colour: every red pixel turns black before the scan.
  WriteBmp("dat/fiwa.bmp", SpritePicture{100, 200, kRed, {{{10, 10}, kKey}}});
  SceneSetup();
  EXPECT_TRUE(Roots.empty());
}

TEST_F(SceneTest, SpriteSmallerThanTheScanAreaIsRefusedNamingFileAndSizes) {
  ScopedWorkDir dir;
  for (auto [width, height] : {std::pair{99, 200}, std::pair{100, 199}, std::pair{1, 1}}) {
    WriteBmp("dat/fiwa.bmp", SpritePicture{width, height, kKey, {}});
    try {
      SceneSetup();
      FAIL() << width << " x " << height << " was accepted";
    } catch (const EInvalidGraphic& error) {
      const std::string text = error.what();
      EXPECT_NE(text.find("dat/fiwa.bmp"), std::string::npos) << text;
      EXPECT_NE(text.find("幅 " + std::to_string(width)), std::string::npos) << text;
      EXPECT_NE(text.find("高さ " + std::to_string(height)), std::string::npos) << text;
    }
    EXPECT_TRUE(Roots.empty());
  }
}

TEST_F(SceneTest, RandomRoundRoundsTheLevelOverTen) {
  struct Case {
    std::int32_t level, draw, expected;
  } cases[] = {{10, 0, 1},   {10, 9, 1},   {15, 4, 1},   {15, 5, 2}, {297, 2, 29},
               {297, 3, 30}, {300, 0, 30}, {300, 9, 30}, {11, 8, 1}, {11, 9, 2}};
  for (const Case& c : cases) {
    DarkLevel = c.level;
    ScriptedRandomSource& random = InstallScriptedRandom({c.draw});
    EXPECT_EQ(RandomRound(10), c.expected) << "level " << c.level << " draw " << c.draw;
    EXPECT_EQ(random.ranges, std::vector<std::int32_t>{10});
  }
}

TEST_F(SceneTest, TurnWrapsTheHeadingIntoMinusPiToPi) {
  EXPECT_NEAR(TurnHeading(3.2f, 50), 3.2 - 2 * std::numbers::pi, 1e-6);
  EXPECT_NEAR(TurnHeading(-3.3f, 50), -3.3 + 2 * std::numbers::pi, 1e-6);
  EXPECT_FLOAT_EQ(TurnHeading(1.0f, 50), 1.0f);
  EXPECT_NEAR(TurnHeading(0.0f, 100), std::numbers::pi / 10, 1e-6);
  EXPECT_NEAR(TurnHeading(0.0f, 0), -std::numbers::pi / 10, 1e-6);
}

TEST_F(SceneTest, FirstSegmentAlongTheBaseHeadingEndsTwoLeftOneUp) {
  MakeScene();
  // Pen width draw, a = h = 5, no turn, then stop.
  ScriptedRandomSource& random = InstallScriptedRandom({3, 5, 50, 0});
  DrawTendril(200, 100);
  EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{10, 10, 101, 20}));
  EXPECT_EQ(BackBuffer->Canvas().PenX(), 198);
  EXPECT_EQ(BackBuffer->Canvas().PenY(), 99); // truncated toward zero, not rounded
  EXPECT_EQ(BackBuffer->Canvas().Pen.Width, 2);
  EXPECT_TRUE(SamePixel(BackBuffer->FRows[100][200], PixelBlack));
  EXPECT_TRUE(SamePixel(BackBuffer->FRows[99][198], PixelBlack));
}

TEST_F(SceneTest, BoundsTestEndsATendrilOnlyOutsideTheScene) {
  struct Case {
    std::int32_t x, y;
    bool inside;
  } cases[] = {{399, 100, true},  {400, 100, false}, {-1, 100, false}, {200, 255, true},
               {200, 256, false}, {200, -1, false},  {0, 0, true}};
  for (const Case& c : cases) {
    MakeScene();
    ScriptedRandomSource& random = InstallScriptedRandom({0, 5, 50, 0});
    DrawTendril(c.x, c.y);
    if (c.inside) {
      EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{10, 10, 101, 20})) << c.x << "," << c.y;
      EXPECT_GT(BlackPixels(), 0);
    } else {
      // Pen width and first heading are drawn, but no turn and nothing on the picture.
      EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{10, 10})) << c.x << "," << c.y;
      EXPECT_EQ(BlackPixels(), 0);
    }
  }
}

TEST_F(SceneTest, SegmentLeavingTheSceneIsDrawnClippedAndEndsTheTendril) {
  MakeScene();
  // Level 50, a = 0: heading 1.2pi - 25/40, just past pi, wraps to point left.
  DarkLevel = 50;
  ScriptedRandomSource& random = InstallScriptedRandom({0, 0, 50, 15});
  DrawTendril(1, 128);
  // It went on after the first segment (15 >= 10); the bounds test then ended it before a turn.
  EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{10, 50, 101, 60}));
  EXPECT_EQ(BackBuffer->Canvas().PenX(), -1);
  EXPECT_EQ(BackBuffer->Canvas().PenY(), 128);
  EXPECT_TRUE(SamePixel(BackBuffer->FRows[128][0], PixelBlack));
}

TEST_F(SceneTest, AtLevelTenATendrilHasAtMostSixGrowingSegments) {
  MakeScene();
  std::deque<std::int32_t> script = {9, 5};
  for (int i = 0; i < 6; ++i) {
    script.push_back(50);
    script.push_back(19); // always go on
  }
  ScriptedRandomSource& random = InstallScriptedRandom(script);
  DrawTendril(380, 250);
  std::vector<std::int32_t> expected = {10, 10};
  for (int i = 0; i < 6; ++i) {
    expected.push_back(101);
    expected.push_back(20);
  }
  EXPECT_EQ(random.ranges, expected);
  EXPECT_EQ(BackBuffer->Canvas().Pen.Width, 2);
  // Six segments of 3 .. 8 pixels along the base heading: 33 pixels in all.
  const double heading = TurnHeading(static_cast<float>(1.2 * std::numbers::pi), 50);
  std::int32_t x = 380, y = 250;
  for (int i = 0; i < 6; ++i) {
    x += static_cast<std::int32_t>(std::trunc(std::cos(heading) * (i + 3)));
    y += static_cast<std::int32_t>(std::trunc(std::sin(heading) * (i + 3)));
  }
  EXPECT_EQ(BackBuffer->Canvas().PenX(), x);
  EXPECT_EQ(BackBuffer->Canvas().PenY(), y);
}

TEST_F(SceneTest, TendrilsFollowTheRootsAndTheirDrawsInOrder) {
  MakeScene();
  DrawAllTendrils();
  EXPECT_EQ(BlackPixels(), 0); // no roots: nothing drawn, nothing drawn from the generator

  Roots = {{0, 0}, {99, 199}};
  DarkLevel = 55;
  ScriptedRandomSource& random = InstallScriptedRandom({0, 27, 50, 0, 9, 27, 50, 0});
  DrawAllTendrils();
  EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{10, 55, 101, 65, 10, 55, 101, 65}));
  EXPECT_TRUE(SamePixel(BackBuffer->FRows[56][300], PixelBlack));
  EXPECT_TRUE(SamePixel(BackBuffer->FRows[255][399], PixelBlack));
  EXPECT_EQ(BackBuffer->Canvas().Pen.Width, 7); // 55 / 10 + (9 + 5) / 10 + 1 at the second root
}

TEST_F(SceneTest, EmptyRootsDrawNoNumbers) {
  MakeScene();
  ScriptedRandomSource& random = InstallScriptedRandom({});
  DrawAllTendrils();
  EXPECT_TRUE(random.ranges.empty());
}

TEST_F(SceneTest, WorldIsDarkOnlyWhenEveryPixelIsExactlyBlack) {
  MakeScene();
  EXPECT_FALSE(IsWorldDark());
  BackBuffer->Fill(PixelBlack);
  EXPECT_TRUE(IsWorldDark());
  for (TPixel odd : {PixelWhite, TPixel{1, 0, 0}, TPixel{0, 0, 1}}) {
    BackBuffer->Fill(PixelBlack);
    BackBuffer->FRows[255][399] = odd;
    EXPECT_FALSE(IsWorldDark());
  }
}

} // namespace
