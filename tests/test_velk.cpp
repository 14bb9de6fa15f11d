// The base window, the scheduler and the notice box, over the headless backend.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "VelkForm.h"
#include "VelkTimer.h"
#include "VelkUtility.h"

namespace {

TFormLayout TestLayout() {
  TFormLayout layout;
  layout.Caption = "test";
  layout.BorderStyle = TBorderStyle::bsSingle;
  layout.ClientWidth = 737;
  layout.ClientHeight = 510;
  layout.Controls = {
      TControlLayout{"Page", TControlKind::Panel, "", 24, 24, 500, 300, false, clWhite, ""},
      TControlLayout{"Box", TControlKind::PaintBox, "Page", 8, 8, 225, 233, true, clBtnFace, ""}};
  return layout;
}

// Records what reaches the window's message handler.
class TestForm : public TVelkForm {
public:
  explicit TestForm(TApplication& owner, TClientArea preset = {400, 256})
      : TVelkForm(owner, TestLayout(), {}, preset) {}
  void WndProc(TMessage& message) override {
    delivered.push_back(message);
    TVelkForm::WndProc(message);
  }
  std::vector<TMessage> delivered;
};

using VelkFormTest = PlatformFixture;

TEST_F(VelkFormTest, PresetClientAreaAndCentringFollowScreenAndFrame) {
  struct Case {
    std::int32_t screenWidth, screenHeight;
    TClientArea preset;
    std::int32_t left, top;
  } cases[] = {
      {1024, 768, {400, 256}, 309, 243}, // outer 406 x 281
      {403, 768, {400, 256}, -1, 243},   // 3 px wider than the screen: -3 / 2 truncates to -1
      {1024, 768, {0, 0}, 509, 371},     // no preset: a 0 x 0 client area
  };
  for (const Case& c : cases) {
    backend->screenWidth = c.screenWidth;
    backend->screenHeight = c.screenHeight;
    TestForm form(*application, c.preset);
    EXPECT_EQ(form.ClientWidth(), c.preset.Width);
    EXPECT_EQ(form.ClientHeight(), c.preset.Height);
    EXPECT_EQ(form.Width(), c.preset.Width + 6);
    EXPECT_EQ(form.Left(), c.left);
    EXPECT_EQ(form.Top(), c.top);
    const HeadlessWindowState* native = backend->Window(form.Handle());
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->ClientWidth, c.preset.Width);
    EXPECT_EQ(native->Left, c.left);
    EXPECT_EQ(native->Top, c.top);
    EXPECT_FALSE(native->Resizable);
  }
}

TEST_F(VelkFormTest, FitPanelCoversTheClientAreaVisibleOrHidden) {
  TestForm form(*application);
  auto* page = form.FindControl<TPanel>("Page");
  form.FitPanel(*page, TPanelVisibility::Visible);
  EXPECT_EQ(page->Left(), 0);
  EXPECT_EQ(page->Top(), 0);
  EXPECT_EQ(page->Width(), 400);
  EXPECT_EQ(page->Height(), 256);
  EXPECT_TRUE(page->Visible());
  form.FitPanel(*page, TPanelVisibility::Hidden);
  EXPECT_EQ(page->Width(), 400);
  EXPECT_FALSE(page->Visible());
}

TEST_F(VelkFormTest, AltAndF10AreWithheldForEveryKeyboardMessage) {
  TestForm form(*application);
  const WPARAM keys[] = {VK_MENU, VK_F10, 'A', 'Y', 17, 120, 122, 0};
  for (std::uint32_t msg = WM_KEYFIRST; msg <= WM_KEYLAST; ++msg) {
    for (WPARAM key : keys) {
      form.delivered.clear();
      TMessage message{form.Handle(), msg, key, 0, 0};
      form.Dispatch(message);
      const bool withheld = key == VK_MENU || key == VK_F10;
      EXPECT_EQ(form.delivered.empty(), withheld) << "message " << msg << " key " << key;
    }
  }
  // Only keyboard messages are filtered: a mouse press with wParam 18 still arrives.
  form.delivered.clear();
  TMessage mouse{form.Handle(), WM_LBUTTONDOWN, 18, 0, 0};
  form.Dispatch(mouse);
  EXPECT_EQ(form.delivered.size(), 1u);
}

int loopRuns = 0;
void CountingLoop() {
  ++loopRuns;
}

TEST_F(VelkFormTest, LoopStartsOnlyFromTheMessageLoopAndOnlyOnce) {
  loopRuns = 0;
  TestForm form(*application);
  form.SetLoopProc(CountingLoop);
  EXPECT_EQ(loopRuns, 0);
  application->ProcessMessages();
  EXPECT_EQ(loopRuns, 1);
  application->ProcessMessages();
  EXPECT_EQ(loopRuns, 1);
}

TEST_F(VelkFormTest, DestroyedWindowNeverRunsItsQueuedLoop) {
  loopRuns = 0;
  {
    TestForm form(*application);
    form.SetLoopProc(CountingLoop);
  }
  application->ProcessMessages();
  EXPECT_EQ(loopRuns, 0);
}

// Scheduler tests drive RunLoop pass by pass: each pass pumps once, so the pump sets the clock
// reading of that pass.
class SchedulerTest : public PlatformFixture {
protected:
  void SetUp() override {
    PlatformFixture::SetUp();
    Tasks.clear();
    TimerExists = false;
    runs.clear();
    backend->clock = 1000;
  }
  void TearDown() override {
    Tasks.clear();
    TimerExists = false;
    PlatformFixture::TearDown();
  }
  // Runs RunLoop over these clock readings, one per pass, then terminates.
  void RunPasses(std::vector<std::uint32_t> readings) {
    // The loop is entered directly here, so the start message the scheduler queued must go.
    TMessage queued;
    while (TakeMessage(queued)) {
    }
    std::size_t pass = 0;
    backend->onPump = [this, readings, &pass] {
      ASSERT_LT(pass, readings.size());
      backend->clock = readings[pass];
      ++pass;
      if (pass == readings.size())
        application->Terminate();
    };
    RunLoop();
    backend->onPump = nullptr;
  }

public:
  struct Run {
    char task;
    std::uint32_t clock;
  };
  static std::vector<Run> runs;
  static HeadlessBackend* current;
};
std::vector<SchedulerTest::Run> SchedulerTest::runs;
HeadlessBackend* SchedulerTest::current = nullptr;

void TaskA() {
  SchedulerTest::runs.push_back({'A', SchedulerTest::current->clock});
}
void TaskB() {
  SchedulerTest::runs.push_back({'B', SchedulerTest::current->clock});
}
void TaskC() {
  SchedulerTest::runs.push_back({'C', SchedulerTest::current->clock});
}
void TaskAppendingC() {
  SchedulerTest::runs.push_back({'D', SchedulerTest::current->clock});
  Tasks.push_back(TVelkThread{"c", TaskC, 1, 0});
}

TEST_F(SchedulerTest, TaskRunsOnlyWhenStrictlyMoreThanItsIntervalHasPassed) {
  current = backend;
  TestForm form(*application);
  TVelkTimer timer(form);
  timer.AddTask(TaskA, 100, "");
  EXPECT_EQ(Tasks[0].LastRun, 1000u);
  RunPasses({1100, 1101, 1201, 1202});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].clock, 1101u);
  EXPECT_EQ(runs[1].clock, 1202u);
  EXPECT_EQ(Tasks[0].LastRun, 1202u);
}

TEST_F(SchedulerTest, LateTaskRunsOnceAndCountsFromThatPass) {
  current = backend;
  TestForm form(*application);
  TVelkTimer timer(form);
  timer.AddTask(TaskA, 100, "");
  RunPasses({1250, 1350, 1351});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].clock, 1250u); // a late task runs once, stamped with the pass's reading
  EXPECT_EQ(runs[1].clock, 1351u);
}

TEST_F(SchedulerTest, TasksDueTogetherRunInTableOrderWithOneStamp) {
  current = backend;
  TestForm form(*application);
  TVelkTimer timer(form);
  timer.AddTask(TaskB, 50, "b");
  timer.AddTask(TaskA, 100, "a");
  timer.AddTask(TaskC, 0, "disabled");
  timer.AddTask(TaskC, -5, "negative");
  timer.AddTask(nullptr, 10, "empty");
  RunPasses({1200});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].task, 'B');
  EXPECT_EQ(runs[1].task, 'A');
  EXPECT_EQ(Tasks[0].LastRun, 1200u);
  EXPECT_EQ(Tasks[1].LastRun, 1200u);
  for (std::size_t i = 2; i < 5; ++i)
    EXPECT_EQ(Tasks[i].LastRun, 1000u) << "entry " << i;
}

TEST_F(SchedulerTest, TaskAppendedDuringAPassWaitsForTheNextPass) {
  current = backend;
  TestForm form(*application);
  TVelkTimer timer(form);
  timer.AddTask(TaskAppendingC, 10, "");
  RunPasses({1011, 1012});
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].task, 'D');
  EXPECT_EQ(runs[1].task, 'C');
  EXPECT_EQ(runs[1].clock, 1012u);
  EXPECT_EQ(Tasks[0].LastRun, 1011u);
}

TEST_F(SchedulerTest, IntervalsHoldAcrossTheClockWrapping) {
  current = backend;
  struct Case {
    std::uint32_t registered, notYet, due;
  } cases[] = {
      {0x7FFFFFCEu, 0x80000032u, 0x80000033u}, // across 2^31
      {0xFFFFFFCEu, 0x00000032u, 0x00000033u}, // across 2^32
  };
  for (const Case& c : cases) {
    application = std::make_unique<TApplication>();
    Application = application.get();
    TestForm form(*application);
    TVelkTimer timer(form);
    runs.clear();
    backend->clock = c.registered;
    timer.AddTask(TaskA, 100, "");
    RunPasses({c.notYet, c.due});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].clock, c.due);
  }
}

TEST_F(SchedulerTest, QuitSeenInAPassStillRunsThatPassesDueTasks) {
  current = backend;
  TestForm form(*application);
  TVelkTimer timer(form);
  timer.AddTask(TaskA, 100, "");
  RunPasses({1050, 1500}); // the quit is posted during the second pass's message processing
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].clock, 1500u);
  EXPECT_TRUE(application->Terminated());

  // Already terminated on entry: exactly one pass.
  runs.clear();
  int pumps = 0;
  backend->onPump = [&] {
    ++pumps;
    backend->clock = 3000;
  };
  RunLoop();
  EXPECT_EQ(pumps, 1);
  EXPECT_EQ(runs.size(), 1u);
}

TEST_F(SchedulerTest, SecondSchedulerOnlyBeeps) {
  TestForm first(*application);
  TestForm second(*application);
  TVelkTimer timer(first);
  EXPECT_EQ(first.LoopProc(), &RunLoop);
  timer.AddTask(TaskA, 100, "kept");
  {
    TVelkTimer inert(second);
    EXPECT_EQ(backend->beeps, 1);
    EXPECT_EQ(Tasks.size(), 1u);
    EXPECT_EQ(second.LoopProc(), nullptr);
  }
  // The inert one going away does not free the live one's place.
  EXPECT_TRUE(TimerExists);
}

TEST_F(SchedulerTest, DestroyClearsTheFlagAndKeepsTheTable) {
  TestForm form(*application);
  {
    TVelkTimer timer(form);
    timer.AddTask(TaskA, 100, "kept");
  }
  EXPECT_FALSE(TimerExists);
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0].Name, "kept");
  TVelkTimer again(form);
  EXPECT_TRUE(Tasks.empty());
  EXPECT_EQ(backend->beeps, 0);
}

void FailingTask() {
  throw EPlatformError("task failed");
}

TEST_F(SchedulerTest, TaskErrorReachesTheErrorBoxAndTheWindowStillCloses) {
  application->SetTitle("Title");
  TestForm* form = nullptr;
  application->CreateForm(form);
  TVelkTimer timer(*form);
  timer.AddTask(FailingTask, 100, "");
  backend->clock = 1000;
  backend->clockStep = 60;
  int pumps = 0;
  backend->onPump = [&] {
    if (++pumps == 20)
      PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
  };
  application->Run();
  ASSERT_EQ(backend->boxes.size(), 1u);
  EXPECT_EQ(backend->boxes[0].Text, "task failed");
  EXPECT_EQ(backend->boxes[0].Caption, "Title");
  EXPECT_EQ(backend->boxes[0].Icon, TBoxIcon::Stop);
  EXPECT_TRUE(application->Terminated());
}

using NoticeTest = PlatformFixture;

TEST_F(NoticeTest, CaptionIsTheTitleAtTheTimeOfTheCall) {
  application->SetTitle("first");
  ShowNotice("");
  application->SetTitle("second");
  ShowNotice("hello");
  ASSERT_EQ(backend->boxes.size(), 2u);
  EXPECT_EQ(backend->boxes[0].Text, "");
  EXPECT_EQ(backend->boxes[0].Caption, "first");
  EXPECT_EQ(backend->boxes[1].Text, "hello");
  EXPECT_EQ(backend->boxes[1].Caption, "second");
  EXPECT_EQ(backend->boxes[1].Icon, TBoxIcon::None);
}

} // namespace
