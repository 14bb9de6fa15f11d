// The whole program, headless: start-up, frames, clicks, the end and shut-down.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "Application.h"
#include "FakeMidi.h"
#include "HeadlessBackend.h"
#include "ProgramBody.h"
#include "ProgramState.h"
#include "SpriteFiles.h"
#include "UnitBmp.h"
#include "UnitCommon.h"
#include "UnitForm.h"

namespace {

const std::string kEndMessage = "せかいはふぃわくのかみにおおわれた";

class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetProgramState();
    MidiCalls.clear();
    OnMidiCall = nullptr;
  }
  void TearDown() override {
    OnMidiCall = nullptr;
    SetRandomSource(nullptr);
  }

  void UseBundledSprite() {
    std::filesystem::create_directories("dat");
    std::filesystem::copy_file(std::filesystem::path(PORUMINA_SOURCE_DIR) / "dat/fiwa.bmp",
                               "dat/fiwa.bmp");
  }

  // Runs the program; `script` is called at every pump with the pump's number (1, 2, ...).
  int RunScripted(const std::function<void(int)>& script) {
    int pump = 0;
    return RunProgram(
        [&] {
          auto made = std::make_unique<HeadlessBackend>();
          backend = made.get();
          backend->onPump = [&] { script(++pump); };
          backend->onDestroy = [this](HeadlessBackend& ending) {
            boxes = ending.boxes;
            backend = nullptr;
          };
          return made;
        },
        ProgramBody);
  }

  HWND MainHandle() const { return FormMain->Handle(); }

  ScopedWorkDir dir;
  // Valid while the program runs.
  HeadlessBackend* backend = nullptr;
  // The boxes the program showed, kept after it ended.
  std::vector<HeadlessBox> boxes;
};

TEST_F(ProgramTest, StartsWithOneFrameTaskThenDrawsSpriteAndTendrilsUntilClosed) {
  UseBundledSprite();
  std::vector<std::uint8_t> shown;
  const int exitCode = RunScripted([&](int pump) {
    if (pump == 1) {
      ASSERT_EQ(Tasks.size(), 1u);
      EXPECT_EQ(Tasks[0].Proc, &SceneTick);
      EXPECT_EQ(Tasks[0].Interval, 100);
      EXPECT_EQ(Tasks[0].Name, "");
      EXPECT_EQ(Roots.size(), 854u);
      const HeadlessWindowState* window = backend->Window(MainHandle());
      ASSERT_NE(window, nullptr);
      EXPECT_TRUE(window->Shown);
      EXPECT_EQ(window->Caption, "ポルミナ");
      EXPECT_EQ(window->ClientWidth, 400);
      EXPECT_EQ(window->ClientHeight, 256);
      EXPECT_TRUE(window->HasIcon);
      EXPECT_EQ(FormMain->PageMain->Width(), 400);
      EXPECT_TRUE(FormMain->PageMain->Visible());
      EXPECT_EQ(FormMain->PntMain->Height(), 256);
    }
    backend->clock += 51; // a frame every second pass
    if (pump == 12) {
      shown = backend->Window(MainHandle())->LastPresented;
      PostMessageA(MainHandle(), WM_CLOSE, 0, 0);
    }
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(boxes.empty());
  ASSERT_EQ(shown.size(), 400u * 256u * 3u);
  auto pixel = [&](int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * 400 + static_cast<std::size_t>(x)) * 3;
    return TPixel{shown[at], shown[at + 1], shown[at + 2]};
  };
  EXPECT_TRUE(SamePixel(pixel(0, 0), PixelWhite)); // far from the sprite, tendrils are short
  int black = 0, coloured = 0;
  for (int y = 56; y < 256; ++y)
    for (int x = 300; x < 400; ++x) {
      const TPixel p = pixel(x, y);
      black += SamePixel(p, PixelBlack) ? 1 : 0;
      coloured += (!SamePixel(p, PixelBlack) && !SamePixel(p, PixelWhite)) ? 1 : 0;
    }
  EXPECT_GT(black, 854);     // every root and the tendrils around them
  EXPECT_GT(coloured, 2000); // the dress and skin show through
  EXPECT_EQ(MidiCalls, (std::vector<std::string>{"SetDevice(-1,0)", "Stop", "Free"}));
  EXPECT_EQ(FormMain, nullptr);
  EXPECT_FALSE(TimerExists);
  EXPECT_FALSE(MidiExists);
}

TEST_F(ProgramTest, RepaintShowsThePanelsWhiteUntilTheNextFrame) {
  UseBundledSprite();
  bool sceneShown = false, whiteAfterRepaint = false;
  auto allWhite = [](const std::vector<std::uint8_t>& pixels) {
    return !pixels.empty() &&
           std::all_of(pixels.begin(), pixels.end(), [](std::uint8_t b) { return b == 255; });
  };
  const int exitCode = RunScripted([&](int pump) {
    if (pump <= 3)
      backend->clock += 101; // frames in the first passes, then the clock stands still
    if (pump == 5) {
      sceneShown = !allWhite(backend->Window(MainHandle())->LastPresented);
      PostMessageA(MainHandle(), WM_PAINT, 0, 0); // uncovered or restored
    }
    if (pump == 6) {
      whiteAfterRepaint = allWhite(backend->Window(MainHandle())->LastPresented);
      PostMessageA(MainHandle(), WM_CLOSE, 0, 0);
    }
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(sceneShown);
  EXPECT_TRUE(whiteAfterRepaint);
}

TEST_F(ProgramTest, EveryPressOfAnyButtonRaisesTheLevelUpTo300) {
  UseBundledSprite();
  struct Press {
    std::uint32_t msg;
    WPARAM keys;
    std::int32_t x, y;
  };
  const Press presses[] = {{WM_LBUTTONDOWN, MK_LBUTTON, 0, 0},
                           {WM_RBUTTONDOWN, MK_RBUTTON, 399, 255},
                           {WM_MBUTTONDOWN, MK_MBUTTON, 200, 100},
                           {WM_LBUTTONDBLCLK, MK_LBUTTON, 10, 10},
                           {WM_RBUTTONDBLCLK, MK_RBUTTON | MK_SHIFT | MK_CONTROL, 350, 200},
                           {WM_LBUTTONDOWN, MK_LBUTTON | MK_ALT, 320, 60}};
  std::vector<std::int32_t> levels;
  const int exitCode = RunScripted([&](int pumpNumber) {
    // The first pump comes before the program's loop has started; begin in the loop.
    const int pump = pumpNumber - 1;
    if (pump < 1)
      return;
    // The clock stands still: no frame runs, so nothing lowers the level.
    if (pump == 2)
      levels.push_back(DarkLevel); // one click before the first frame: 10 -> 11
    if (pump <= 6) {
      const Press& p = presses[pump - 1];
      PostMessageA(MainHandle(), p.msg, p.keys, MakeMouseLParam(p.x, p.y));
    } else if (pump <= 16) {
      PostMessageA(MainHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(5, 5));
    } else if (pump == 17) {
      levels.push_back(DarkLevel);
      DarkLevel = 299;
      for (int i = 0; i < 3; ++i)
        PostMessageA(MainHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(5, 5));
    } else if (pump == 18) {
      levels.push_back(DarkLevel);
      PostMessageA(MainHandle(), WM_CLOSE, 0, 0);
    }
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(levels, (std::vector<std::int32_t>{11, 26, 300}));
}

TEST_F(ProgramTest, LevelSinksOnlyAboveTenAndDrawsNothingAtTen) {
  // A sprite without roots: a frame draws from the generator only for the decay.
  WriteBmp("dat/fiwa.bmp", SpritePicture{100, 200, RGBColor(0, 255, 0), {{{50, 50}, clBlack}}});
  ScriptedRandomSource& random = InstallScriptedRandom({1, 0});
  std::vector<std::int32_t> levels;
  const int exitCode = RunScripted([&](int pump) {
    backend->clock += 101; // a frame every pass
    if (pump == 4) {
      EXPECT_TRUE(random.ranges.empty()); // three frames at level 10
      DarkLevel = 11;
    }
    if (pump >= 5 && pump <= 8)
      levels.push_back(DarkLevel);
    if (pump == 8)
      PostMessageA(MainHandle(), WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(exitCode, 0);
  // The frame of pass 4 draws 1 (stays at 11), the next draws 0 (sinks to 10), later frames
  // draw nothing.
  EXPECT_EQ(levels, (std::vector<std::int32_t>{11, 10, 10, 10}));
  EXPECT_EQ(random.ranges, (std::vector<std::int32_t>{3, 3}));
}

TEST_F(ProgramTest, ClickOnAnAllBlackSceneShowsTheEndThenCloses) {
  UseBundledSprite();
  bool terminatedWhileShown = true;
  std::int32_t levelWhileShown = 0;
  const int exitCode = RunScripted([&](int pump) {
    if (pump == 2) {
      DarkLevel = 123;
      BackBuffer->Fill(PixelBlack);
      // Clicks queued behind the one that ends the game must not show the end again.
      for (int i = 0; i < 3; ++i)
        PostMessageA(MainHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MakeMouseLParam(1, 1));
      backend->onMessageBox = [&](const HeadlessBox&) {
        terminatedWhileShown = Application->Terminated();
        levelWhileShown = DarkLevel;
      };
    }
    ASSERT_LT(pump, 50) << "the end did not close the program";
  });
  EXPECT_EQ(exitCode, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, kEndMessage);
  EXPECT_EQ(boxes[0].Caption, "ポルミナ");
  EXPECT_EQ(boxes[0].Icon, TBoxIcon::None);
  EXPECT_FALSE(terminatedWhileShown);
  EXPECT_EQ(levelWhileShown, 123);
  EXPECT_EQ(DarkLevel, 123);
}

TEST_F(ProgramTest, FailedSceneSetUpShowsTheErrorAndFreesWhatExistsInOrder) {
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* phrase;
  } cases[] = {
      {"missing", [] {}, "ファイル dat/fiwa.bmp を開けません"},
      {"too narrow",
       [] {
         WriteBmp("dat/fiwa.bmp", SpritePicture{99, 200, RGBColor(0, 255, 0), {}});
       },
       "幅 99, 高さ 200"},
      {"not a bitmap",
       [] {
         std::filesystem::create_directories("dat");
         std::ofstream("dat/fiwa.bmp") << "GIF89a";
       },
       "dat/fiwa.bmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all("dat");
    c.make();
    MidiCalls.clear();
    std::vector<std::string> stateAtMidiCalls;
    OnMidiCall = [&](const std::string& call) {
      stateAtMidiCalls.push_back(call + (BackBuffer ? " scene" : " no-scene") +
                                 (TimerExists ? " timer" : " no-timer"));
    };
    bool pumped = false;
    const int exitCode = RunScripted([&](int) { pumped = true; });
    EXPECT_EQ(exitCode, 1);
    EXPECT_FALSE(pumped); // the window was never shown, the loop never ran
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].Text.find(c.phrase), std::string::npos) << boxes[0].Text;
    EXPECT_EQ(boxes[0].Caption, "ポルミナ");
    EXPECT_EQ(boxes[0].Icon, TBoxIcon::Stop);
    // Scene first, then the MIDI handle, then the scheduler.
    EXPECT_EQ(stateAtMidiCalls,
              (std::vector<std::string>{"SetDevice(-1,0) no-scene no-timer", "Stop no-scene timer",
                                        "Free no-scene timer"}));
    EXPECT_FALSE(TimerExists);
    EXPECT_FALSE(MidiExists);
    EXPECT_TRUE(Tasks.empty());
    EXPECT_EQ(FormMain, nullptr);
  }
}

} // namespace
