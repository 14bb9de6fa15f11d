// Soak run: the whole program, headless, for many frames at the top darkness level with clicks,
// reporting resident memory along the way. Leaks are LeakSanitizer's job in the sanitizer build.
//
//   soak [FRAMES] [SOURCE_DIR]
//
// FRAMES defaults to 100000. The sprite is read from SOURCE_DIR/dat (default: the source tree
// this was built from); nothing is written.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "Application.h"
#include "HeadlessBackend.h"
#include "ProgramBody.h"
#include "UnitBmp.h"
#include "UnitCommon.h"
#include "UnitForm.h"

namespace {

constexpr std::int32_t kTopLevel = 300;
// One frame per pass of the loop: the frame task runs once more than 100 ms have passed.
constexpr std::uint32_t kMillisecondsPerPass = 101;
// Memory is first sampled once start-up and the first frames have settled.
constexpr long kWarmUpFrames = 1000;

// Resident memory of this process in kB, from /proc/self/status; -1 when unreadable.
long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0)
      return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

struct TSoakReport {
  long frames = 0;
  long clicks = 0;
  long darkFrames = 0; // frames after which a click would have ended the program
  long rssBeforeStart = 0;
  long rssAfterWarmUp = 0;
  long rssAtLastFrame = 0;
  long rssPeak = 0;
  int exitCode = 0;
};

TSoakReport Soak(long wantedFrames) {
  TSoakReport report;
  report.rssBeforeStart = ResidentKilobytes();
  int presentsBeforeLoop = -1;
  long pass = 0;
  long pumps = 0;
  HeadlessBackend* backend = nullptr;
  const auto onPump = [&] {
    const HWND handle = FormMain->Handle();
    const HeadlessWindowState* window = backend->Window(handle);
    // Every frame presents the scene once; showing the window did so too.
    if (presentsBeforeLoop < 0)
      presentsBeforeLoop = window->PresentCount;
    report.frames = window->PresentCount - presentsBeforeLoop;
    if (report.frames == kWarmUpFrames)
      report.rssAfterWarmUp = ResidentKilobytes();
    if (report.frames % 1000 == 0) {
      const long rss = ResidentKilobytes();
      report.rssPeak = std::max(report.rssPeak, rss);
    }
    // Two passes per frame at most; more means frames stopped coming, so stop rather than spin.
    if (report.frames >= wantedFrames || ++pumps > 2 * wantedFrames + 100) {
      report.rssAtLastFrame = ResidentKilobytes();
      PostMessageA(handle, WM_CLOSE, 0, 0);
      return;
    }
    DarkLevel = kTopLevel; // the frames let it sink; the soak holds it at the top
    backend->clock += kMillisecondsPerPass;
    // A click on an all-black scene ends the program; the soak runs on instead.
    if (report.frames > 0 && IsWorldDark()) {
      ++report.darkFrames;
      return;
    }
    ++pass;
    const std::uint32_t buttons[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN,
                                     WM_LBUTTONDBLCLK};
    const auto x = static_cast<std::int32_t>(pass * 37 % 400);
    const auto y = static_cast<std::int32_t>(pass * 53 % 256);
    PostMessageA(handle, buttons[pass % 4], 0, MakeMouseLParam(x, y));
    ++report.clicks;
  };
  report.exitCode = RunProgram(
      [&] {
        auto made = std::make_unique<HeadlessBackend>();
        backend = made.get();
        backend->onPump = onPump;
        return made;
      },
      ProgramBody);
  return report;
}

} // namespace

int main(int argc, char** argv) {
  const long frames = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
  const std::filesystem::path source = argc > 2 ? argv[2] : PORUMINA_SOURCE_DIR;
  if (frames <= 0) {
    std::fprintf(stderr, "usage: soak [FRAMES] [SOURCE_DIR]\n");
    return 2;
  }
  std::error_code failed;
  std::filesystem::current_path(source, failed);
  if (failed) {
    std::fprintf(stderr, "soak: cannot enter %s: %s\n", source.c_str(), failed.message().c_str());
    return 2;
  }

  const TSoakReport report = Soak(frames);
  std::printf("frames:     %ld at level %d\n", report.frames, kTopLevel);
  std::printf("clicks:     %ld (withheld on %ld all-black frames)\n", report.clicks,
              report.darkFrames);
  std::printf("VmRSS kB:   before start-up %ld, after %ld frames %ld, at the last frame %ld, "
              "peak %ld\n",
              report.rssBeforeStart, kWarmUpFrames, report.rssAfterWarmUp, report.rssAtLastFrame,
              report.rssPeak);
  if (report.frames > kWarmUpFrames)
    std::printf("growth:     %+ld kB after warm-up\n",
                report.rssAtLastFrame - report.rssAfterWarmUp);
  std::printf("exit code:  %d\n", report.exitCode);
  const bool complete = report.frames >= frames && report.exitCode == 0;
  if (!complete)
    std::printf("soak: the program ended early\n");
  return complete ? 0 : 1;
}
