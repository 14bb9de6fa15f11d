// A backend without a display, for tests: scripted input, a controllable clock, recorded boxes.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Backend.h"
#include "SystemServices.h"

// What a headless window has been told.
struct HeadlessWindowState {
  HWND Handle = 0;
  std::string Caption;
  std::int32_t ClientWidth = 0, ClientHeight = 0;
  std::int32_t Left = 0, Top = 0;
  bool Resizable = false, Maximizable = false, Minimizable = false;
  bool Shown = false;
  bool HasIcon = false;
  int PresentCount = 0;
  std::int32_t SurfaceWidth = 0, SurfaceHeight = 0;
  std::vector<std::uint8_t> LastPresented; // 24-bit rows of the last presented surface
  bool Destroyed = false;
};

// A message box the program showed.
struct HeadlessBox {
  std::string Text;
  std::string Caption;
  TBoxIcon Icon = TBoxIcon::None;
};

class HeadlessBackend : public Backend {
public:
  ~HeadlessBackend() override {
    if (onDestroy)
      onDestroy(*this);
  }
  std::int32_t ScreenWidth() override { return screenWidth; }
  std::int32_t ScreenHeight() override { return screenHeight; }
  TFrameExtents FrameExtents() override { return frame; }
  std::unique_ptr<NativeWindow> CreateWindow(const TNativeWindowOptions& options) override;
  // Runs the queued input scripts and the per-pump hook.
  void PumpEvents() override;
  // Like PumpEvents; raises ENotSupported when no script could ever deliver anything, so a test
  // that forgot to close the window fails instead of hanging.
  void WaitEvents() override;
  // Records the box and runs onMessageBox.
  void ShowMessageBox(const std::string& text, const std::string& caption, TBoxIcon icon) override;
  // The clock, advanced by clockStep on every read.
  std::uint32_t ClockMilliseconds() override;
  std::uint32_t TimeOfDayMilliseconds() override { return timeOfDay; }
  void Beep() override { ++beeps; }

  // Queues an input script that runs at the next pump (e.g. posting a click).
  void Inject(std::function<void()> script) { injected_.push_back(std::move(script)); }
  // Posts a mouse press on the window at client (x, y) at the next pump.
  void InjectMouseDown(HWND window, std::uint32_t msg, std::int32_t x, std::int32_t y,
                       WPARAM keys = 0);
  // Posts WM_CLOSE to the window at the next pump, as its close button does.
  void InjectClose(HWND window);
  // The state of the window with that handle (the last one made for it).
  const HeadlessWindowState* Window(HWND handle) const;

  std::int32_t screenWidth = 1024;
  std::int32_t screenHeight = 768;
  TFrameExtents frame{3, 22, 3, 3};
  std::uint32_t clock = 1000;
  std::uint32_t clockStep = 0;
  std::uint32_t timeOfDay = 12 * 3600 * 1000;
  int beeps = 0;
  int pumps = 0;
  std::vector<HeadlessBox> boxes;
  // Runs while a box is "open": the program is held inside ShowMessageBox meanwhile.
  std::function<void(const HeadlessBox&)> onMessageBox;
  // Runs at every pump, after the injected scripts.
  std::function<void()> onPump;
  // Runs when the platform drops the backend at the end of a program, to read what it saw.
  std::function<void(HeadlessBackend&)> onDestroy;
  std::vector<std::shared_ptr<HeadlessWindowState>> windows;

private:
  std::deque<std::function<void()>> injected_;
};

// Installs a fresh headless backend and returns it (the platform owns it).
HeadlessBackend& InstallHeadlessBackend();

// A random source that answers from a script and records every range asked for.
class ScriptedRandomSource : public RandomSource {
public:
  // Values are answered in order; once they run out, a fixed-seed generator answers
  // when `fallback` is set, otherwise Next raises ENotSupported.
  enum class WhenExhausted { Fail, UseGenerator };
  explicit ScriptedRandomSource(std::deque<std::int32_t> values,
                                WhenExhausted whenExhausted = WhenExhausted::Fail);
  void Seed(std::uint32_t seed) override;
  // Raises ERangeError when the scripted value is not below n.
  std::int32_t Next(std::int32_t n) override;

  std::deque<std::int32_t> values;
  std::vector<std::int32_t> ranges; // every n asked for, in order
  std::vector<std::uint32_t> seeds;

private:
  WhenExhausted whenExhausted_;
  PcgRandomSource generator_{12345};
};

// Installs a ScriptedRandomSource as the process-wide generator and returns it.
ScriptedRandomSource& InstallScriptedRandom(
    std::deque<std::int32_t> values,
    ScriptedRandomSource::WhenExhausted whenExhausted = ScriptedRandomSource::WhenExhausted::Fail);
