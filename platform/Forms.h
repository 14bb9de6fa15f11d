// Forms and the controls the program's windows are made of.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Backend.h"
#include "Errors.h"
#include "Graphics.h"
#include "Messages.h"

class TApplication;

// Root of the layer's objects; event handlers receive their sender as one.
class TObject {
public:
  virtual ~TObject() = default;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

enum class TShiftFlag : std::uint8_t {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};

// The modifier keys and buttons held during an input event.
using TShiftState = TFlagSet<TShiftFlag>;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift,
                                       std::int32_t x, std::int32_t y)>;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable };

enum class TBorderIcon : std::uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };

// A set of caption-bar buttons.
using TBorderIcons = TFlagSet<TBorderIcon>;

enum class TControlKind { Panel, PaintBox };

// One control of a stored form description.
struct TControlLayout {
  std::string Name;
  TControlKind Kind = TControlKind::Panel;
  std::string Parent; // empty: lies directly on the form
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  bool Visible = true;
  TColor Color = clBtnFace;
  std::string OnMouseDown; // name of the form's handler, empty for none
};

// A 32 x 32 picture as rows of palette keys, with the key that stands for "transparent".
struct TIconPicture {
  std::vector<std::string> Rows;
  std::vector<std::pair<char, TColor>> Palette;
  char TransparentKey = ' ';
};

// A stored form description: the window and its controls as the designer left them.
struct TFormLayout {
  std::string Name;
  std::int32_t Left = 0, Top = 0;
  TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
  TBorderIcons BorderIcons;
  std::string Caption;
  std::int32_t ClientWidth = 0, ClientHeight = 0;
  TColor Color = clBtnFace;
  TFont Font;
  bool Scaled = true;
  const TIconPicture* Icon = nullptr;
  std::vector<TControlLayout> Controls;
};

// Named handlers a form offers to its description.
struct TEventBinding {
  std::string Name;
  TMouseEvent Handler;
};
using TEventTable = std::vector<TEventBinding>;

class TForm;

// A control lying on a form or on a panel; it has no native window of its own.
class TControl : public TObject {
public:
  TControl(TForm& form, TControl* parent, std::string name);
  const std::string& Name() const { return name_; }
  TControl* Parent() const { return parent_; }
  TForm& Form() const { return *form_; }

  std::int32_t Left() const { return left_; }
  std::int32_t Top() const { return top_; }
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  bool Visible() const { return visible_; }
  // Each setter moves or resizes the control within its parent.
  void SetLeft(std::int32_t value) { left_ = value; }
  void SetTop(std::int32_t value) { top_ = value; }
  void SetWidth(std::int32_t value) { width_ = value; }
  void SetHeight(std::int32_t value) { height_ = value; }
  void SetVisible(bool value);

  // Bounds in client coordinates of the form.
  TRect ClientBounds() const;
  // The part of ClientBounds that can be seen: inside every parent, all of them visible.
  TRect VisibleBounds() const;

private:
  TForm* form_;
  TControl* parent_;
  std::string name_;
  std::int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
};

// A plain coloured rectangle that other controls lie on.
class TPanel : public TControl {
public:
  using TControl::TControl;
  TColor Color = clBtnFace;
};

// A control that shows whatever is drawn on its canvas and reports mouse presses.
class TPaintBox : public TControl {
public:
  TPaintBox(TForm& form, TControl* parent, std::string name);
  // The canvas over this box's area of the form; drawing on it shows in the window.
  TCanvas& Canvas();
  TMouseEvent OnMouseDown;

private:
  std::unique_ptr<TCanvas> canvas_;
};

// The primary display.
struct TScreen {
  // Width of the primary display in pixels.
  std::int32_t Width() const;
  // Height of the primary display in pixels.
  std::int32_t Height() const;
};
extern TScreen Screen;

// A top-level window built from a stored description.
class TForm : public TObject {
public:
  // Builds the window and its controls from `layout`, binding handlers named there from `events`;
  // a handler named in the description but missing from `events` raises ENotSupported.
  TForm(TApplication& owner, const TFormLayout& layout, const TEventTable& events);
  ~TForm() override;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  // The window's handle; the native window is made on first use.
  HWND Handle();
  // True once the native window exists.
  bool HandleAllocated() const { return native_ != nullptr; }

  std::int32_t ClientWidth() const { return clientWidth_; }
  std::int32_t ClientHeight() const { return clientHeight_; }
  // Resizes the client area; the outer size follows.
  void SetClientWidth(std::int32_t value);
  void SetClientHeight(std::int32_t value);
  // Outer size: client area plus the frame.
  std::int32_t Width() const;
  std::int32_t Height() const;
  std::int32_t Left() const { return left_; }
  std::int32_t Top() const { return top_; }
  // Moves the outer frame's top-left corner.
  void SetLeft(std::int32_t value);
  void SetTop(std::int32_t value);
  const std::string& Caption() const { return caption_; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  TBorderIcons BorderIcons() const { return borderIcons_; }
  TColor Color() const { return color_; }
  bool Showing() const { return shown_; }

  // The control of that name and type from the description; raises ENotSupported otherwise.
  template <class T> T* FindControl(const std::string& name) const {
    for (const auto& control : controls_)
      if (control->Name() == name)
        if (auto* typed = dynamic_cast<T*>(control.get()))
          return typed;
    throw ENotSupported("フォームに部品 " + name + " がありません");
  }

  // Shows the window (making the native window if needed).
  void Show(TShowState state);
  // Asks the window to close, as its close button does.
  void Close();

  // Delivers a message: keyboard messages go through the keyboard hook first.
  void Dispatch(TMessage& message);
  // The form's message handler; the base handles paint, close and mouse presses.
  virtual void WndProc(TMessage& message);
  // Keyboard hook: true withholds a keyboard message from the form and its controls.
  virtual bool IsKeyWithheld(const TMessage& message);

  // The client area's pixels as the window shows them.
  TBitmap& Surface() { return surface_; }
  // Puts the surface on screen.
  void Present();
  // Repaints the surface from the controls (form colour, panels), as after an expose.
  void PaintControls();

protected:
  // The base handling of a message, for overrides that pass a message on.
  void DefaultHandler(TMessage& message);

private:
  void MouseDown(const TMessage& message);
  void ResizeSurface();

  TApplication* owner_;
  HWND handle_ = 0;
  std::unique_ptr<NativeWindow> native_;
  std::int32_t left_ = 0, top_ = 0;
  std::int32_t clientWidth_ = 0, clientHeight_ = 0;
  std::string caption_;
  TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
  TBorderIcons borderIcons_;
  TColor color_ = clBtnFace;
  const TIconPicture* icon_ = nullptr;
  bool shown_ = false;
  std::vector<std::unique_ptr<TControl>> controls_;
  TBitmap surface_;
};

// The colour PaintIcon gives see-through pixels.
constexpr TColor kIconTransparent = RGBColor(255, 0, 254);

// Builds a 24-bit picture from an icon description.
void PaintIcon(const TIconPicture& icon, TBitmap& picture);
