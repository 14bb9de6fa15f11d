// FLTK 1.3 over X11: top-level windows that turn their events into posted messages, a message
// box of our own, and the clocks. Single-threaded: everything runs on the thread that pumps.
#include "FltkBackend.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <bitset>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "Errors.h"

namespace {

constexpr std::int32_t kIconSide = 32;
// Font size of the message box text and its button, in pixels.
constexpr Fl_Fontsize kBoxFontSize = 14;

// --- Keyboard ---------------------------------------------------------------------------------

// The Windows virtual-key code of an FLTK key, or 0 for keys the program has no name for.
WPARAM VirtualKey(int key) {
  if (key >= 'a' && key <= 'z')
    return static_cast<WPARAM>(key - 'a' + 'A');
  if ((key >= '0' && key <= '9') || key == ' ')
    return static_cast<WPARAM>(key);
  if (key >= FL_F + 1 && key <= FL_F + 24)
    return static_cast<WPARAM>(112 + key - (FL_F + 1));
  if (key >= FL_KP + '0' && key <= FL_KP + '9')
    return static_cast<WPARAM>(0x60 + key - (FL_KP + '0'));
  switch (key) {
  case FL_BackSpace:
    return 8;
  case FL_Tab:
    return 9;
  case FL_Enter:
  case FL_KP_Enter:
    return 13;
  case FL_Shift_L:
  case FL_Shift_R:
    return 16;
  case FL_Control_L:
  case FL_Control_R:
    return 17;
  case FL_Alt_L:
  case FL_Alt_R:
    return VK_MENU;
  case FL_Pause:
    return 19;
  case FL_Caps_Lock:
    return 20;
  case FL_Kana:
    return 0x15;
  case FL_Escape:
    return 27;
  case FL_Page_Up:
    return 33;
  case FL_Page_Down:
    return 34;
  case FL_End:
    return 35;
  case FL_Home:
    return 36;
  case FL_Left:
    return 37;
  case FL_Up:
    return 38;
  case FL_Right:
    return 39;
  case FL_Down:
    return 40;
  case FL_Print:
    return 44;
  case FL_Insert:
    return 45;
  case FL_Delete:
    return 46;
  case FL_Meta_L:
    return 91;
  case FL_Meta_R:
    return 92;
  case FL_Menu:
    return 93;
  case FL_KP + '*':
    return 0x6A;
  case FL_KP + '+':
    return 0x6B;
  case FL_KP + '-':
    return 0x6D;
  case FL_KP + '.':
    return 0x6E;
  case FL_KP + '/':
    return 0x6F;
  case FL_Num_Lock:
    return 144;
  case FL_Scroll_Lock:
    return 145;
  case ';':
    return 0xBA;
  case '=':
    return 0xBB;
  case ',':
    return 0xBC;
  case '-':
    return 0xBD;
  case '.':
    return 0xBE;
  case '/':
    return 0xBF;
  case '`':
    return 0xC0;
  case '[':
    return 0xDB;
  case '\\':
  case FL_Yen:
    return 0xDC;
  case ']':
    return 0xDD;
  case '\'':
    return 0xDE;
  case FL_JIS_Underscore:
    return 0xE2;
  default:
    return 0;
  }
}

// Windows sends the SYS variants while Alt is held without Ctrl, and for F10 and Alt itself.
bool IsSystemKey(WPARAM virtualKey) {
  const bool alt = Fl::event_state(FL_ALT) != 0;
  const bool ctrl = Fl::event_state(FL_CTRL) != 0;
  return virtualKey == VK_F10 || virtualKey == VK_MENU || (alt && !ctrl);
}

// Key message lParam as Windows packs it: repeat count, scan code, Alt, previous state, release.
LPARAM KeyLParam(bool wasDown, bool released) {
  std::uint32_t bits = 1;
  if (fl_xevent != nullptr && (fl_xevent->type == KeyPress || fl_xevent->type == KeyRelease))
    bits |= ((fl_xevent->xkey.keycode - 8u) & 0xFFu) << 16; // evdev codes are PC scan codes + 8
  if (Fl::event_state(FL_ALT) != 0)
    bits |= 1u << 29;
  if (wasDown)
    bits |= 1u << 30;
  if (released)
    bits |= 1u << 31;
  return static_cast<LPARAM>(bits);
}

// MK_* flags of the held buttons and modifiers, plus `pressed` (the button going down now).
WPARAM MouseKeyFlags(int pressed) {
  const int state = Fl::event_state();
  WPARAM flags = 0;
  if ((state & FL_BUTTON1) != 0 || pressed == FL_LEFT_MOUSE)
    flags |= MK_LBUTTON;
  if ((state & FL_BUTTON2) != 0 || pressed == FL_MIDDLE_MOUSE)
    flags |= MK_MBUTTON;
  if ((state & FL_BUTTON3) != 0 || pressed == FL_RIGHT_MOUSE)
    flags |= MK_RBUTTON;
  if ((state & FL_SHIFT) != 0)
    flags |= MK_SHIFT;
  if ((state & FL_CTRL) != 0)
    flags |= MK_CONTROL;
  if ((state & FL_ALT) != 0)
    flags |= MK_ALT;
  return flags;
}

// --- Pictures ---------------------------------------------------------------------------------

// Red, green and blue of pixel (x, y) of a bitmap in any of its formats.
void ReadPixel(const TBitmap& picture, std::int32_t x, std::int32_t y, std::uint8_t rgb[3]) {
  const std::uint8_t* row = picture.ScanLine(y);
  switch (picture.PixelFormat()) {
  case TPixelFormat::pf24bit:
    rgb[0] = row[x * 3 + 2];
    rgb[1] = row[x * 3 + 1];
    rgb[2] = row[x * 3];
    return;
  case TPixelFormat::pf8bit:
    rgb[0] = rgb[1] = rgb[2] = row[x];
    return;
  case TPixelFormat::pf1bit: {
    const bool white = ((row[x / 8] >> (7 - x % 8)) & 1) != 0;
    rgb[0] = rgb[1] = rgb[2] = white ? 255 : 0;
    return;
  }
  }
}

// --- X11 helpers ------------------------------------------------------------------------------

// _NET_FRAME_EXTENTS of a mapped window; false when the window manager has not set it.
bool ReadFrameExtents(Window xid, TFrameExtents& extents) {
  const Atom property = XInternAtom(fl_display, "_NET_FRAME_EXTENTS", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(fl_display, xid, property, 0, 4, False, XA_CARDINAL, &type,
                                        &format, &count, &remaining, &data);
  const bool found = status == Success && type == XA_CARDINAL && format == 32 && count == 4;
  if (found) {
    // Format-32 properties arrive as longs whatever the size of long.
    const auto* values = reinterpret_cast<const long*>(data);
    extents.Left = static_cast<std::int32_t>(values[0]);
    extents.Right = static_cast<std::int32_t>(values[1]);
    extents.Top = static_cast<std::int32_t>(values[2]);
    extents.Bottom = static_cast<std::int32_t>(values[3]);
  }
  if (data != nullptr)
    XFree(data);
  return found;
}

// Asks an EWMH window manager to maximise a mapped window.
void RequestMaximized(Window xid) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
  event.xclient.data.l[1] =
      static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_MAXIMIZED_VERT", False));
  event.xclient.data.l[2] =
      static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  event.xclient.data.l[3] = 1; // request from a normal application
  XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(fl_display);
}

// --- Fonts ------------------------------------------------------------------------------------

// A font family with Japanese glyphs, from fontconfig; empty when there is none.
std::string JapaneseFontFamily() {
  if (FcInit() == FcFalse)
    return {};
  std::string family;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
  if (pattern == nullptr)
    return {};
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match != nullptr) {
    // The best match may still be a Latin font when no Japanese one is installed; check a
    // kana and a kanji rather than trusting the language tag.
    FcCharSet* charset = nullptr;
    FcChar8* name = nullptr;
    if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch &&
        FcCharSetHasChar(charset, 0x3042) && FcCharSetHasChar(charset, 0x6F22) &&
        FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
      family = reinterpret_cast<const char*>(name);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return family;
}

// FLTK does no glyph fallback, so its default face must itself cover Japanese.
void InstallJapaneseFont() {
  // FLTK keeps the name pointers; the leading character is its style code (' ' plain, 'B' bold).
  static std::string plain, bold;
  const std::string family = JapaneseFontFamily();
  if (family.empty())
    return;
  plain = " " + family;
  bold = "B" + family;
  Fl::set_font(FL_HELVETICA, plain.c_str());
  Fl::set_font(FL_HELVETICA_BOLD, bold.c_str());
}

// --- Windows ----------------------------------------------------------------------------------

class TFltkWindow;
// Our live top-level windows, for frame extents.
std::vector<TFltkWindow*> liveWindows;
// Last frame extents seen on a mapped window; frames look alike under one window manager.
TFrameExtents knownExtents;

TFrameExtents CurrentFrameExtents();

class TFltkWindow final : public Fl_Window, public NativeWindow {
public:
  explicit TFltkWindow(const TNativeWindowOptions& options)
      : Fl_Window(options.ClientWidth, options.ClientHeight), handle_(options.Handle),
        resizable_(options.Resizable) {
    end();
    box(FL_NO_BOX);
    color(FL_WHITE);
    copy_label(options.Caption.c_str());
    ApplySizeRange();
    // The default callback hides the window on Escape as well; only the close button counts.
    callback(&TFltkWindow::OnCallback, this);
    liveWindows.push_back(this);
  }

  ~TFltkWindow() override { std::erase(liveWindows, this); }

  // --- NativeWindow
  void SetCaption(const std::string& caption) override { copy_label(caption.c_str()); }

  void SetClientSize(std::int32_t width, std::int32_t height) override {
    size(std::max(width, 1), std::max(height, 1));
    ApplySizeRange();
  }

  void SetPosition(std::int32_t left, std::int32_t top) override {
    const TFrameExtents frame = CurrentFrameExtents();
    position(left + frame.Left, top + frame.Top);
    // Before the first mapping the frame is unknown; place the window again once the window
    // manager has announced it.
    outerLeft_ = left;
    outerTop_ = top;
    placementPumps_ = kPlacementPumps;
  }

  // Re-places a window positioned before its frame was known; called after each pump.
  void SettlePlacement() {
    if (placementPumps_ == 0 || !shown())
      return;
    --placementPumps_;
    TFrameExtents frame;
    if (!ReadFrameExtents(fl_xid(this), frame))
      return;
    knownExtents = frame;
    placementPumps_ = 0;
    if (x() != outerLeft_ + frame.Left || y() != outerTop_ + frame.Top)
      position(outerLeft_ + frame.Left, outerTop_ + frame.Top);
  }

  void SetIcon(const TBitmap& picture, TColor transparent) override {
    if (picture.Width() <= 0 || picture.Height() <= 0)
      return;
    std::vector<uchar> rgba(static_cast<std::size_t>(kIconSide * kIconSide * 4));
    for (std::int32_t y = 0; y < kIconSide; ++y)
      for (std::int32_t x = 0; x < kIconSide; ++x) {
        std::uint8_t rgb[3] = {0, 0, 0};
        ReadPixel(picture, x * picture.Width() / kIconSide, y * picture.Height() / kIconSide, rgb);
        uchar* out = &rgba[static_cast<std::size_t>((y * kIconSide + x) * 4)];
        out[0] = rgb[0];
        out[1] = rgb[1];
        out[2] = rgb[2];
        out[3] = RGBColor(rgb[0], rgb[1], rgb[2]) == transparent ? 0 : 255;
      }
    // Both calls copy the image; the message box inherits the default.
    const Fl_RGB_Image image(rgba.data(), kIconSide, kIconSide, 4);
    icon(&image);
    Fl_Window::default_icon(&image);
  }

  void Show(TShowState state) override {
    switch (state) {
    case TShowState::Minimized:
      iconize(); // an unshown window is mapped iconic
      break;
    case TShowState::Maximized:
      show();
      RequestMaximized(fl_xid(this));
      break;
    case TShowState::Normal:
      show();
      break;
    }
  }

  void Present(const TBitmap& surface) override {
    if (surface.PixelFormat() != TPixelFormat::pf24bit)
      throw ENotSupported("画面に出せるのは 24 ビットのビットマップだけです");
    pictureWidth_ = surface.Width();
    pictureHeight_ = surface.Height();
    const auto rowBytes = static_cast<std::size_t>(pictureWidth_) * 3;
    rgb_.resize(rowBytes * static_cast<std::size_t>(pictureHeight_));
    for (std::int32_t y = 0; y < pictureHeight_; ++y) {
      const std::uint8_t* in = surface.ScanLine(y);
      uchar* out = rgb_.data() + rowBytes * static_cast<std::size_t>(y);
      for (std::size_t at = 0; at < rowBytes; at += 3) {
        out[at] = in[at + 2];
        out[at + 1] = in[at + 1];
        out[at + 2] = in[at];
      }
    }
    redraw();
  }

  // --- Fl_Window
  int handle(int event) override {
    // While a message box is up this window takes no input; keys go to the box instead.
    Fl_Window* modal = Fl::modal();
    if (modal != nullptr && modal != this) {
      if (event == FL_KEYBOARD || event == FL_SHORTCUT || event == FL_KEYUP)
        return modal->handle(event);
      if (event == FL_PUSH || event == FL_RELEASE || event == FL_DRAG)
        return 1;
    }
    switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
      keysDown_.reset();
      return 1;
    case FL_PUSH:
      PostMouseDown();
      return 1;
    case FL_RELEASE:
    case FL_DRAG:
      return 1;
    case FL_KEYBOARD:
    case FL_SHORTCUT:
      // A key reaching us as a shortcut means we lacked focus; take it so the release comes too.
      if (Fl::focus() != this)
        Fl::focus(this);
      PostKey(true);
      return 1; // no shortcut processing, no Escape-closes
    case FL_KEYUP:
      PostKey(false);
      return 1;
    default:
      return Fl_Window::handle(event);
    }
  }

  void draw() override {
    // Exposure by the system asks the program to repaint; our own redraws do not.
    if ((damage() & FL_DAMAGE_EXPOSE) != 0)
      PostMessageA(handle_, WM_PAINT, 0, 0);
    const int width = std::min(pictureWidth_, w());
    const int height = std::min(pictureHeight_, h());
    if (width > 0 && height > 0)
      fl_draw_image(rgb_.data(), 0, 0, width, height, 3, pictureWidth_ * 3);
    fl_color(FL_WHITE);
    if (width < w())
      fl_rectf(std::max(width, 0), 0, w() - std::max(width, 0), h());
    if (height < h())
      fl_rectf(0, std::max(height, 0), w(), h() - std::max(height, 0));
  }

private:
  static void OnCallback(Fl_Widget*, void* data) {
    if (Fl::event() == FL_CLOSE)
      PostMessageA(static_cast<TFltkWindow*>(data)->handle_, WM_CLOSE, 0, 0);
  }

  void ApplySizeRange() {
    if (resizable_) {
      resizable(this);
      size_range(1, 1);
    } else {
      // min = max: the window manager offers neither resizing nor maximising.
      resizable(nullptr);
      size_range(w(), h(), w(), h());
    }
  }

  void PostMouseDown() {
    const int button = Fl::event_button();
    // Windows alternates: a third quick press is a plain press again, a fourth a double click.
    const bool doubleClick = Fl::event_clicks() % 2 == 1;
    std::uint32_t msg = 0;
    switch (button) {
    case FL_LEFT_MOUSE:
      msg = doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
      break;
    case FL_MIDDLE_MOUSE:
      msg = doubleClick ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN;
      break;
    case FL_RIGHT_MOUSE:
      msg = doubleClick ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
      break;
    default:
      return;
    }
    PostMessageA(handle_, msg, MouseKeyFlags(button),
                 MakeMouseLParam(Fl::event_x(), Fl::event_y()));
  }

  void PostKey(bool pressed) {
    const WPARAM key = VirtualKey(Fl::event_key());
    const bool system = IsSystemKey(key);
    if (key != 0) {
      const bool wasDown = keysDown_.test(key);
      keysDown_.set(key, pressed);
      const std::uint32_t msg =
          pressed ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
      PostMessageA(handle_, msg, key, KeyLParam(pressed ? wasDown : true, !pressed));
    }
    if (!pressed || Fl::event_key() == FL_Delete)
      return; // X gives Delete the text DEL; Windows sends no character for it
    const char* text = Fl::event_text();
    const int length = Fl::event_length();
    const char* end = text + length;
    for (const char* p = text; p < end;) {
      int used = 0;
      const unsigned code = fl_utf8decode(p, end, &used);
      p += std::max(used, 1);
      if (code != 0)
        PostMessageA(handle_, system ? WM_SYSCHAR : WM_CHAR, code, KeyLParam(false, false));
    }
  }

  HWND handle_;
  bool resizable_;
  std::vector<uchar> rgb_; // the last surface, as RGB rows for fl_draw_image
  std::int32_t pictureWidth_ = 0, pictureHeight_ = 0;
  std::bitset<256> keysDown_;
  // Pumps to keep looking for the frame of a window positioned before mapping (no window
  // manager may ever announce one).
  static constexpr int kPlacementPumps = 100;
  std::int32_t outerLeft_ = 0, outerTop_ = 0;
  int placementPumps_ = 0;
};

void SettlePlacements() {
  for (TFltkWindow* window : liveWindows)
    window->SettlePlacement();
}

TFrameExtents CurrentFrameExtents() {
  for (TFltkWindow* window : liveWindows) {
    TFrameExtents extents;
    if (window->shown() && ReadFrameExtents(fl_xid(window), extents)) {
      knownExtents = extents;
      break;
    }
  }
  return knownExtents;
}

// --- Message box ------------------------------------------------------------------------------

// Red disc with a white cross, the usual "stop" sign of an error box.
class TStopIcon final : public Fl_Widget {
public:
  TStopIcon(int x, int y, int side) : Fl_Widget(x, y, side, side) { clear_visible_focus(); }
  void draw() override {
    fl_color(fl_rgb_color(200, 30, 30));
    fl_pie(x(), y(), w(), h(), 0, 360);
    fl_color(FL_WHITE);
    fl_line_style(FL_SOLID | FL_CAP_ROUND, std::max(w() / 8, 2));
    const int inset = w() * 3 / 10;
    fl_line(x() + inset, y() + inset, x() + w() - inset, y() + h() - inset);
    fl_line(x() + w() - inset, y() + inset, x() + inset, y() + h() - inset);
    fl_line_style(0);
  }
};

// The message text, drawn without FLTK's '@' symbol escapes.
class TBoxText final : public Fl_Widget {
public:
  TBoxText(int x, int y, int width, int height, std::string text)
      : Fl_Widget(x, y, width, height), text_(std::move(text)) {
    clear_visible_focus();
  }
  void draw() override {
    fl_font(FL_HELVETICA, kBoxFontSize);
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(text_.c_str(), x(), y(), w(), h(),
            FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP, nullptr, 0);
  }

private:
  std::string text_;
};

class TMessageBox final : public Fl_Window {
public:
  TMessageBox(const std::string& text, const std::string& caption, TBoxIcon icon)
      : Fl_Window(100, 100) {
    constexpr int margin = 16, iconSide = 32, buttonWidth = 88, buttonHeight = 28;
    constexpr int maxTextWidth = 560;
    fl_font(FL_HELVETICA, kBoxFontSize);
    int textWidth = 0, textHeight = 0;
    fl_measure(text.c_str(), textWidth, textHeight, 0);
    if (textWidth > maxTextWidth) {
      textWidth = maxTextWidth;
      fl_measure(text.c_str(), textWidth, textHeight, 0);
    }
    const bool hasIcon = icon == TBoxIcon::Stop;
    const int textLeft = hasIcon ? margin * 2 + iconSide : margin;
    const int bodyHeight = std::max(textHeight, hasIcon ? iconSide : 0);
    const int width = std::max(textLeft + textWidth + margin, buttonWidth + 2 * margin + 80);
    const int height = margin + bodyHeight + margin + buttonHeight + margin;
    size(width, height);
    if (hasIcon)
      new TStopIcon(margin, margin, iconSide);
    // Short texts sit level with the icon's middle, as Windows lays them out.
    const int textTop = margin + std::max(0, (bodyHeight - textHeight) / 2);
    new TBoxText(textLeft, textTop, textWidth, textHeight, text);
    button_ = new Fl_Button((width - buttonWidth) / 2, height - margin - buttonHeight, buttonWidth,
                            buttonHeight, "OK");
    button_->labelfont(FL_HELVETICA);
    button_->labelsize(kBoxFontSize);
    button_->callback(&TMessageBox::Close, this);
    end();
    copy_label(caption.c_str());
    callback(&TMessageBox::Close, this); // close button and Escape
    size_range(width, height, width, height);
    set_modal();
  }

  // Enter, Space and Escape close the box wherever the focus is.
  int handle(int event) override {
    if (event == FL_KEYBOARD || event == FL_SHORTCUT) {
      const int key = Fl::event_key();
      if (key == FL_Enter || key == FL_KP_Enter || key == ' ' || key == FL_Escape) {
        hide();
        return 1;
      }
    }
    return Fl_Window::handle(event);
  }

  void ShowCentredOver(Fl_Window* owner) {
    int areaX = 0, areaY = 0, areaW = 0, areaH = 0;
    if (owner != nullptr && owner->shown() && owner->visible()) {
      areaX = owner->x();
      areaY = owner->y();
      areaW = owner->w();
      areaH = owner->h();
    } else {
      Fl::screen_work_area(areaX, areaY, areaW, areaH, 0);
    }
    position(areaX + (areaW - w()) / 2, areaY + (areaH - h()) / 2);
    show();
    button_->take_focus();
  }

private:
  static void Close(Fl_Widget*, void* data) { static_cast<TMessageBox*>(data)->hide(); }

  Fl_Button* button_ = nullptr;
};

// --- Backend ----------------------------------------------------------------------------------

class TFltkBackend final : public Backend {
public:
  std::int32_t ScreenWidth() override {
    int x = 0, y = 0, w = 0, h = 0;
    Fl::screen_xywh(x, y, w, h, 0);
    return w;
  }

  std::int32_t ScreenHeight() override {
    int x = 0, y = 0, w = 0, h = 0;
    Fl::screen_xywh(x, y, w, h, 0);
    return h;
  }

  TFrameExtents FrameExtents() override { return CurrentFrameExtents(); }

  std::unique_ptr<NativeWindow> CreateWindow(const TNativeWindowOptions& options) override {
    return std::make_unique<TFltkWindow>(options);
  }

  void PumpEvents() override {
    Fl::check();
    SettlePlacements();
  }

  void WaitEvents() override {
    if (HasPendingMessage())
      Fl::check();
    else
      Fl::wait(0.1);
    SettlePlacements();
  }

  void ShowMessageBox(const std::string& text, const std::string& caption, TBoxIcon icon) override {
    Fl_Window* owner = nullptr;
    for (TFltkWindow* window : liveWindows)
      if (window->shown() && window->visible())
        owner = window;
    TMessageBox box(text, caption, icon);
    box.ShowCentredOver(owner);
    while (box.shown())
      Fl::wait();
  }

  std::uint32_t ClockMilliseconds() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
  }

  std::uint32_t TimeOfDayMilliseconds() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const auto seconds = static_cast<std::uint32_t>(local.tm_hour * 3600 + local.tm_min * 60 +
                                                    std::min(local.tm_sec, 59));
    return seconds * 1000u + static_cast<std::uint32_t>(now.tv_nsec / 1000000);
  }

  void Beep() override { fl_beep(); }
};

} // namespace

std::unique_ptr<Backend> CreateFltkBackend() {
  if (fl_display == nullptr) {
    // FLTK's own opening exits the process when it fails; open it here so the caller can report.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
      const char* name = std::getenv("DISPLAY");
      throw EPlatformError(std::string("ディスプレイに接続できません (DISPLAY=") +
                           (name != nullptr && *name != '\0' ? name : "未設定") + ")");
    }
    fl_open_display(display);
    InstallJapaneseFont();
  }
  return std::make_unique<TFltkBackend>();
}
