#include "HeadlessBackend.h"

#include <cstring>

#include "Errors.h"
#include "Messages.h"

namespace {

class HeadlessWindow : public NativeWindow {
public:
  explicit HeadlessWindow(std::shared_ptr<HeadlessWindowState> state) : state_(std::move(state)) {}
  ~HeadlessWindow() override { state_->Destroyed = true; }
  void SetCaption(const std::string& caption) override { state_->Caption = caption; }
  void SetClientSize(std::int32_t width, std::int32_t height) override {
    state_->ClientWidth = width;
    state_->ClientHeight = height;
  }
  void SetPosition(std::int32_t left, std::int32_t top) override {
    state_->Left = left;
    state_->Top = top;
  }
  void SetIcon(const TBitmap&, TColor) override { state_->HasIcon = true; }
  void Show(TShowState) override { state_->Shown = true; }
  void Present(const TBitmap& surface) override {
    ++state_->PresentCount;
    state_->SurfaceWidth = surface.Width();
    state_->SurfaceHeight = surface.Height();
    const auto rowBytes = static_cast<std::size_t>(surface.Width()) * 3;
    state_->LastPresented.resize(rowBytes * static_cast<std::size_t>(surface.Height()));
    for (std::int32_t y = 0; y < surface.Height(); ++y)
      std::memcpy(state_->LastPresented.data() + rowBytes * static_cast<std::size_t>(y),
                  surface.ScanLine(y), rowBytes);
  }

private:
  std::shared_ptr<HeadlessWindowState> state_;
};

} // namespace

std::unique_ptr<NativeWindow> HeadlessBackend::CreateWindow(const TNativeWindowOptions& options) {
  auto state = std::make_shared<HeadlessWindowState>();
  state->Handle = options.Handle;
  state->Caption = options.Caption;
  state->ClientWidth = options.ClientWidth;
  state->ClientHeight = options.ClientHeight;
  state->Resizable = options.Resizable;
  state->Maximizable = options.Maximizable;
  state->Minimizable = options.Minimizable;
  windows.push_back(state);
  return std::make_unique<HeadlessWindow>(state);
}

void HeadlessBackend::PumpEvents() {
  ++pumps;
  while (!injected_.empty()) {
    auto script = std::move(injected_.front());
    injected_.pop_front();
    script();
  }
  if (onPump)
    onPump();
}

void HeadlessBackend::WaitEvents() {
  if (injected_.empty() && !onPump && !HasPendingMessage())
    throw ENotSupported("headless: no input is scripted, the program would wait forever");
  PumpEvents();
}

void HeadlessBackend::ShowMessageBox(const std::string& text, const std::string& caption,
                                     TBoxIcon icon) {
  boxes.push_back(HeadlessBox{text, caption, icon});
  if (onMessageBox)
    onMessageBox(boxes.back());
}

std::uint32_t HeadlessBackend::ClockMilliseconds() {
  const std::uint32_t now = clock;
  clock += clockStep;
  return now;
}

void HeadlessBackend::InjectMouseDown(HWND window, std::uint32_t msg, std::int32_t x,
                                      std::int32_t y, WPARAM keys) {
  Inject([=] { PostMessageA(window, msg, keys, MakeMouseLParam(x, y)); });
}

void HeadlessBackend::InjectClose(HWND window) {
  Inject([=] { PostMessageA(window, WM_CLOSE, 0, 0); });
}

const HeadlessWindowState* HeadlessBackend::Window(HWND handle) const {
  for (auto it = windows.rbegin(); it != windows.rend(); ++it)
    if ((*it)->Handle == handle)
      return it->get();
  return nullptr;
}

HeadlessBackend& InstallHeadlessBackend() {
  auto backend = std::make_unique<HeadlessBackend>();
  HeadlessBackend& reference = *backend;
  SetBackend(std::move(backend));
  return reference;
}

ScriptedRandomSource::ScriptedRandomSource(std::deque<std::int32_t> script,
                                           WhenExhausted whenExhausted)
    : values(std::move(script)), whenExhausted_(whenExhausted) {}

void ScriptedRandomSource::Seed(std::uint32_t seed) {
  seeds.push_back(seed);
  generator_.Seed(seed);
}

std::int32_t ScriptedRandomSource::Next(std::int32_t n) {
  ranges.push_back(n);
  if (values.empty()) {
    if (whenExhausted_ == WhenExhausted::UseGenerator)
      return generator_.Next(n);
    throw ENotSupported("scripted random source: no value left for Random(" + std::to_string(n) +
                        ")");
  }
  const std::int32_t value = values.front();
  values.pop_front();
  if (value < 0 || value >= n)
    RaiseRangeError();
  return value;
}

ScriptedRandomSource& InstallScriptedRandom(std::deque<std::int32_t> values,
                                            ScriptedRandomSource::WhenExhausted whenExhausted) {
  auto source = std::make_unique<ScriptedRandomSource>(std::move(values), whenExhausted);
  ScriptedRandomSource& reference = *source;
  SetRandomSource(std::move(source));
  return reference;
}
