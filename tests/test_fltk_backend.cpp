// The FLTK backend against a real X server: a private Xvfb started per test program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "Errors.h"
#include "FltkBackend.h"

// Last: Xlib's macros (None, Bool, Status) collide with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

TEST(FltkBackendNoDisplay, RaisesWithTheDisplayNameInsteadOfExiting) {
  // Must run before any test of this process opens a display.
  setenv("DISPLAY", ":987", 1);
  try {
    (void)CreateFltkBackend();
    FAIL() << "no exception";
  } catch (const EPlatformError& error) {
    EXPECT_NE(std::string(error.what()).find(":987"), std::string::npos) << error.what();
  }
}

// ":N"; built by appending, which also sidesteps a false -Wrestrict of g++ 12 on "x" + string.
std::string DisplayName(int display) {
  std::string name = ":";
  name += std::to_string(display);
  return name;
}

bool SocketExists(int display) {
  std::string path = "/tmp/.X11-unix/X";
  path += std::to_string(display);
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

class FltkBackendTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (system("command -v Xvfb >/dev/null 2>&1") != 0)
      return;
    displayNumber_ = 300 + static_cast<int>(getpid() % 500);
    while (SocketExists(displayNumber_))
      ++displayNumber_;
    server_ = fork();
    if (server_ == 0) {
      const std::string name = DisplayName(displayNumber_);
      execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int tries = 0; tries < 500 && !SocketExists(displayNumber_); ++tries)
      usleep(10000);
    setenv("DISPLAY", DisplayName(displayNumber_).c_str(), 1);
    probe_ = XOpenDisplay(nullptr);
    if (probe_ != nullptr)
      backend_ = CreateFltkBackend().release();
  }

  static void TearDownTestSuite() {
    if (probe_ != nullptr)
      XCloseDisplay(probe_);
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
    }
  }

  void SetUp() override {
    if (backend_ == nullptr)
      GTEST_SKIP() << "Xvfb is not available";
  }

  // Our single top-level window as the server sees it, once it is mapped.
  static Window MappedWindow() {
    for (int tries = 0; tries < 300; ++tries) {
      backend_->PumpEvents();
      Window root = 0, parent = 0, *children = nullptr;
      unsigned count = 0;
      XQueryTree(probe_, DefaultRootWindow(probe_), &root, &parent, &children, &count);
      Window found = 0;
      for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(probe_, children[i], &attributes);
        if (attributes.map_state == IsViewable && attributes.width > 1)
          found = children[i];
      }
      if (children != nullptr)
        XFree(children);
      if (found != 0)
        return found;
      usleep(10000);
    }
    return 0;
  }

  static inline pid_t server_ = 0;
  static inline int displayNumber_ = 0;
  static inline Display* probe_ = nullptr;
  static inline Backend* backend_ = nullptr; // kept for the process: FLTK cannot reopen
};

TEST_F(FltkBackendTest, FixedSizeWindowHasEqualMinimumAndMaximumAndShowsTheSurfaceInRgbOrder) {
  TNativeWindowOptions options;
  options.Caption = "テスト";
  options.ClientWidth = 40;
  options.ClientHeight = 20;
  auto window = backend_->CreateWindow(options);
  // Left half red, right half blue: a swapped channel order shows as blue on the left.
  TBitmap surface;
  surface.SetWidth(40);
  surface.SetHeight(20);
  for (std::int32_t y = 0; y < 20; ++y)
    for (std::int32_t x = 0; x < 40; ++x) {
      std::uint8_t* pixel = surface.ScanLine(y) + x * 3;
      pixel[0] = x < 20 ? 0 : 255; // blue
      pixel[1] = 0;
      pixel[2] = x < 20 ? 255 : 0; // red
    }
  window->Show(TShowState::Normal);
  window->Present(surface);
  const Window xid = MappedWindow();
  ASSERT_NE(xid, 0u);
  for (int i = 0; i < 20; ++i)
    backend_->PumpEvents();

  XSizeHints hints{};
  long supplied = 0;
  ASSERT_NE(XGetWMNormalHints(probe_, xid, &hints, &supplied), 0);
  EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
  EXPECT_EQ(hints.min_width, 40);
  EXPECT_EQ(hints.max_width, 40);
  EXPECT_EQ(hints.min_height, 20);
  EXPECT_EQ(hints.max_height, 20);

  XImage* image = XGetImage(probe_, xid, 0, 0, 40, 20, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  const unsigned long left = XGetPixel(image, 5, 10);
  const unsigned long right = XGetPixel(image, 35, 10);
  EXPECT_EQ(left & image->red_mask, image->red_mask);
  EXPECT_EQ(left & image->blue_mask, 0u);
  EXPECT_EQ(right & image->blue_mask, image->blue_mask);
  EXPECT_EQ(right & image->red_mask, 0u);
  XDestroyImage(image);
}

TEST_F(FltkBackendTest, PresentRejectsNon24BitSurfaces) {
  TNativeWindowOptions options;
  options.ClientWidth = 8;
  options.ClientHeight = 8;
  auto window = backend_->CreateWindow(options);
  TBitmap surface;
  surface.SetWidth(8);
  surface.SetHeight(8);
  surface.SetPixelFormat(TPixelFormat::pf8bit);
  EXPECT_THROW(window->Present(surface), ENotSupported);
}

} // namespace
