#include "Forms.h"

#include <algorithm>

#include "Application.h"

TScreen Screen;

std::int32_t TScreen::Width() const {
  return CurrentBackend().ScreenWidth();
}

std::int32_t TScreen::Height() const {
  return CurrentBackend().ScreenHeight();
}

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.Right < r.Left)
    r.Right = r.Left;
  if (r.Bottom < r.Top)
    r.Bottom = r.Top;
  return r;
}

bool Contains(const TRect& r, std::int32_t x, std::int32_t y) {
  return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

} // namespace

TControl::TControl(TForm& form, TControl* parent, std::string name)
    : form_(&form), parent_(parent), name_(std::move(name)) {}

void TControl::SetVisible(bool value) {
  visible_ = value;
}

TRect TControl::ClientBounds() const {
  std::int32_t x = left_, y = top_;
  for (const TControl* p = parent_; p != nullptr; p = p->parent_) {
    x += p->left_;
    y += p->top_;
  }
  return TRect{x, y, x + std::max(width_, 0), y + std::max(height_, 0)};
}

TRect TControl::VisibleBounds() const {
  TRect bounds = ClientBounds();
  for (const TControl* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_)
      return TRect{bounds.Left, bounds.Top, bounds.Left, bounds.Top};
    bounds = Intersect(bounds, c->ClientBounds());
  }
  return Intersect(bounds, TRect{0, 0, form_->ClientWidth(), form_->ClientHeight()});
}

TPaintBox::TPaintBox(TForm& form, TControl* parent, std::string name)
    : TControl(form, parent, std::move(name)) {}

TCanvas& TPaintBox::Canvas() {
  // The box may have moved since the last call, so the canvas is aimed anew each time; pen and
  // font settings carry over, and nothing is allocated once the canvas exists.
  const TRect bounds = ClientBounds();
  if (!canvas_) {
    TForm* form = &Form();
    canvas_ = std::make_unique<TCanvas>(form->Surface(), bounds.Left, bounds.Top, VisibleBounds(),
                                        [form] { form->Present(); });
  } else {
    canvas_->SetRegion(bounds.Left, bounds.Top, VisibleBounds());
  }
  return *canvas_;
}

TForm::TForm(TApplication& owner, const TFormLayout& layout, const TEventTable& events)
    : owner_(&owner) {
  left_ = layout.Left;
  top_ = layout.Top;
  caption_ = layout.Caption;
  borderStyle_ = layout.BorderStyle;
  borderIcons_ = layout.BorderIcons;
  color_ = layout.Color;
  icon_ = layout.Icon;
  clientWidth_ = layout.ClientWidth;
  clientHeight_ = layout.ClientHeight;
  ResizeSurface();
  for (const TControlLayout& item : layout.Controls) {
    TControl* parent = nullptr;
    if (!item.Parent.empty())
      parent = FindControl<TControl>(item.Parent);
    std::unique_ptr<TControl> control;
    if (item.Kind == TControlKind::Panel) {
      auto panel = std::make_unique<TPanel>(*this, parent, item.Name);
      panel->Color = item.Color;
      control = std::move(panel);
    } else {
      auto box = std::make_unique<TPaintBox>(*this, parent, item.Name);
      if (!item.OnMouseDown.empty()) {
        auto found = std::find_if(events.begin(), events.end(), [&](const TEventBinding& b) {
          return b.Name == item.OnMouseDown;
        });
        if (found == events.end())
          throw ENotSupported("イベント " + item.OnMouseDown + " がフォームにありません");
        box->OnMouseDown = found->Handler;
      }
      control = std::move(box);
    }
    control->SetLeft(item.Left);
    control->SetTop(item.Top);
    control->SetWidth(item.Width);
    control->SetHeight(item.Height);
    control->SetVisible(item.Visible);
    controls_.push_back(std::move(control));
  }
  PaintControls();
}

TForm::~TForm() {
  if (handle_ != 0)
    owner_->UnregisterForm(handle_);
}

HWND TForm::Handle() {
  if (native_ == nullptr) {
    handle_ = owner_->RegisterForm(*this);
    TNativeWindowOptions options;
    options.Handle = handle_;
    options.Caption = caption_;
    options.ClientWidth = clientWidth_;
    options.ClientHeight = clientHeight_;
    options.Resizable = borderStyle_ == TBorderStyle::bsSizeable;
    options.Maximizable = borderIcons_.Contains(TBorderIcon::biMaximize);
    options.Minimizable = borderIcons_.Contains(TBorderIcon::biMinimize);
    native_ = CurrentBackend().CreateWindow(options);
    native_->SetPosition(left_, top_);
    if (icon_ != nullptr) {
      TBitmap picture;
      PaintIcon(*icon_, picture);
      native_->SetIcon(picture, kIconTransparent);
    }
  }
  return handle_;
}

void TForm::ResizeSurface() {
  surface_.SetWidth(std::max(clientWidth_, 0));
  surface_.SetHeight(std::max(clientHeight_, 0));
}

void TForm::SetClientWidth(std::int32_t value) {
  clientWidth_ = value;
  ResizeSurface();
  if (native_)
    native_->SetClientSize(clientWidth_, clientHeight_);
}

void TForm::SetClientHeight(std::int32_t value) {
  clientHeight_ = value;
  ResizeSurface();
  if (native_)
    native_->SetClientSize(clientWidth_, clientHeight_);
}

std::int32_t TForm::Width() const {
  const TFrameExtents frame = CurrentBackend().FrameExtents();
  return CheckedAdd(clientWidth_, CheckedAdd(frame.Left, frame.Right));
}

std::int32_t TForm::Height() const {
  const TFrameExtents frame = CurrentBackend().FrameExtents();
  return CheckedAdd(clientHeight_, CheckedAdd(frame.Top, frame.Bottom));
}

void TForm::SetLeft(std::int32_t value) {
  left_ = value;
  if (native_)
    native_->SetPosition(left_, top_);
}

void TForm::SetTop(std::int32_t value) {
  top_ = value;
  if (native_)
    native_->SetPosition(left_, top_);
}

void TForm::Show(TShowState state) {
  Handle();
  shown_ = true;
  native_->Show(state);
  Present();
}

void TForm::Close() {
  if (owner_->MainForm() == this)
    owner_->Terminate();
}

void TForm::Dispatch(TMessage& message) {
  if (IsKeyboardMessage(message.Msg) && IsKeyWithheld(message))
    return;
  WndProc(message);
}

void TForm::WndProc(TMessage& message) {
  DefaultHandler(message);
}

bool TForm::IsKeyWithheld(const TMessage&) {
  return false;
}

void TForm::DefaultHandler(TMessage& message) {
  switch (message.Msg) {
  case WM_PAINT:
    PaintControls();
    Present();
    break;
  case WM_CLOSE:
    Close();
    break;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
  case WM_RBUTTONDOWN:
  case WM_RBUTTONDBLCLK:
  case WM_MBUTTONDOWN:
  case WM_MBUTTONDBLCLK:
    MouseDown(message);
    break;
  default:
    break;
  }
}

void TForm::MouseDown(const TMessage& message) {
  const std::int32_t x = MouseX(message.LParam);
  const std::int32_t y = MouseY(message.LParam);
  // The control drawn last lies on top, so it is asked first.
  TControl* hit = nullptr;
  for (auto it = controls_.rbegin(); it != controls_.rend() && hit == nullptr; ++it)
    if (Contains((*it)->VisibleBounds(), x, y))
      hit = it->get();
  auto* box = dynamic_cast<TPaintBox*>(hit);
  if (box == nullptr || !box->OnMouseDown)
    return;
  TMouseButton button = TMouseButton::mbLeft;
  if (message.Msg == WM_RBUTTONDOWN || message.Msg == WM_RBUTTONDBLCLK)
    button = TMouseButton::mbRight;
  else if (message.Msg == WM_MBUTTONDOWN || message.Msg == WM_MBUTTONDBLCLK)
    button = TMouseButton::mbMiddle;
  TShiftState shift;
  const WPARAM keys = message.WParam;
  if (keys & MK_SHIFT)
    shift = shift | TShiftFlag::ssShift;
  if (keys & MK_CONTROL)
    shift = shift | TShiftFlag::ssCtrl;
  if (keys & MK_ALT)
    shift = shift | TShiftFlag::ssAlt;
  if (keys & MK_LBUTTON)
    shift = shift | TShiftFlag::ssLeft;
  if (keys & MK_RBUTTON)
    shift = shift | TShiftFlag::ssRight;
  if (keys & MK_MBUTTON)
    shift = shift | TShiftFlag::ssMiddle;
  if (message.Msg == WM_LBUTTONDBLCLK || message.Msg == WM_RBUTTONDBLCLK ||
      message.Msg == WM_MBUTTONDBLCLK)
    shift = shift | TShiftFlag::ssDouble;
  const TRect bounds = box->ClientBounds();
  box->OnMouseDown(box, button, shift, x - bounds.Left, y - bounds.Top);
}

void TForm::PaintControls() {
  auto fill = [this](const TRect& r, TColor color) {
    const auto blue = static_cast<std::uint8_t>((color >> 16) & 0xFF);
    const auto green = static_cast<std::uint8_t>((color >> 8) & 0xFF);
    const auto red = static_cast<std::uint8_t>(color & 0xFF);
    for (std::int32_t y = r.Top; y < r.Bottom; ++y) {
      std::uint8_t* row = surface_.ScanLine(y);
      for (std::int32_t x = r.Left; x < r.Right; ++x) {
        std::uint8_t* pixel = row + std::size_t{3} * static_cast<std::size_t>(x);
        pixel[0] = blue;
        pixel[1] = green;
        pixel[2] = red;
      }
    }
  };
  fill(TRect{0, 0, surface_.Width(), surface_.Height()}, color_);
  // Paint boxes have no paint handler: whatever lay on them is gone until the next blit.
  for (const auto& control : controls_)
    if (auto* panel = dynamic_cast<TPanel*>(control.get()))
      fill(panel->VisibleBounds(), panel->Color);
}

void TForm::Present() {
  if (native_ && shown_)
    native_->Present(surface_);
}

void PaintIcon(const TIconPicture& icon, TBitmap& picture) {
  const auto height = static_cast<std::int32_t>(icon.Rows.size());
  const auto width = height == 0 ? 0 : static_cast<std::int32_t>(icon.Rows[0].size());
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetWidth(width);
  picture.SetHeight(height);
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    const std::string& keys = icon.Rows[static_cast<std::size_t>(y)];
    for (std::int32_t x = 0; x < width && x < static_cast<std::int32_t>(keys.size()); ++x) {
      const char key = keys[static_cast<std::size_t>(x)];
      TColor color = key == icon.TransparentKey ? kIconTransparent : clWhite;
      for (const auto& [paletteKey, value] : icon.Palette)
        if (paletteKey == key && key != icon.TransparentKey)
          color = value;
      std::uint8_t* pixel = row + std::size_t{3} * static_cast<std::size_t>(x);
      pixel[0] = static_cast<std::uint8_t>((color >> 16) & 0xFF);
      pixel[1] = static_cast<std::uint8_t>((color >> 8) & 0xFF);
      pixel[2] = static_cast<std::uint8_t>(color & 0xFF);
    }
  }
}
