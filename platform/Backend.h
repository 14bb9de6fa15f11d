// What the portable layer needs from a window system. One backend is active per process:
// the FLTK one in the program, the headless one in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Graphics.h"
#include "Messages.h"

// Icon shown on a message box.
enum class TBoxIcon { None, Stop };

// Where a window goes when first shown.
enum class TShowState { Normal, Minimized, Maximized };

// Frame drawn around a window's client area.
struct TFrameExtents {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// What a native window is made from.
struct TNativeWindowOptions {
  HWND Handle = 0;
  std::string Caption;
  std::int32_t ClientWidth = 0;
  std::int32_t ClientHeight = 0;
  bool Resizable = false;
  bool Maximizable = false;
  bool Minimizable = true;
};

// A top-level window of the window system.
class NativeWindow {
public:
  virtual ~NativeWindow() = default;
  // Sets the caption bar text (UTF-8).
  virtual void SetCaption(const std::string& caption) = 0;
  // Sets the client area size in pixels.
  virtual void SetClientSize(std::int32_t width, std::int32_t height) = 0;
  // Sets the outer frame's top-left corner in screen pixels.
  virtual void SetPosition(std::int32_t left, std::int32_t top) = 0;
  // Sets the window icon from a 24-bit picture; pixels of colour `transparent` are see-through.
  virtual void SetIcon(const TBitmap& picture, TColor transparent) = 0;
  // Maps the window on screen.
  virtual void Show(TShowState state) = 0;
  // Shows `surface` (24-bit, client-sized) as the client area's content.
  virtual void Present(const TBitmap& surface) = 0;
};

class Backend {
public:
  virtual ~Backend() = default;
  // Width and height of the primary display in pixels.
  virtual std::int32_t ScreenWidth() = 0;
  virtual std::int32_t ScreenHeight() = 0;
  // The frame the window system draws around a window's client area.
  virtual TFrameExtents FrameExtents() = 0;
  // Makes a native window; its input is posted as messages to options.Handle.
  virtual std::unique_ptr<NativeWindow> CreateWindow(const TNativeWindowOptions& options) = 0;
  // Turns pending window-system events into posted messages and returns at once.
  virtual void PumpEvents() = 0;
  // Blocks until the window system has an event (or a message is posted), then pumps it.
  virtual void WaitEvents() = 0;
  // Shows a modal box with an OK button and returns when it is closed.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                              TBoxIcon icon) = 0;
  // Milliseconds since an arbitrary start, wrapping at 2^32.
  virtual std::uint32_t ClockMilliseconds() = 0;
  // Milliseconds since midnight, local time.
  virtual std::uint32_t TimeOfDayMilliseconds() = 0;
  // Sounds the system beep.
  virtual void Beep() = 0;
};

// Installs the process's backend; the previous one is destroyed. Null uninstalls.
void SetBackend(std::unique_ptr<Backend> backend);
// The installed backend; raises ENotSupported when none is installed.
Backend& CurrentBackend();
// True when a backend is installed.
bool HasBackend();
