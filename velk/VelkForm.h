// Base window of the program: client-area preset, deferred loop start, Alt/F10 filter.
#pragma once

#include <cstdint>

#include "Application.h"
#include "Forms.h"

// Posted by a window to itself to start its loop procedure once the message loop runs.
constexpr std::uint32_t WM_STARTLOOP = WM_USER + 10;

// A loop procedure: no arguments, no result, not bound to an object.
using TLoopProc = void (*)();

// The client size a derived window asks for before the base construction runs.
struct TClientArea {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};

enum class TPanelVisibility { Hidden, Visible };

class TVelkForm : public TForm {
public:
  // Builds the window from `layout`, applies `preset` as its client size and centres it.
  TVelkForm(TApplication& owner, const TFormLayout& layout, const TEventTable& events,
            TClientArea preset = {});

  // Stores a client size; only the construction reads it, so a later call changes nothing.
  void SetClientArea(std::int32_t width, std::int32_t height);
  // Stores `proc` and posts WM_STARTLOOP to this window, which runs it from the message loop.
  void SetLoopProc(TLoopProc proc);
  // Puts `panel` over the whole client area and shows or hides it.
  void FitPanel(TPanel& panel, TPanelVisibility visibility);

  void WndProc(TMessage& message) override;
  // Withholds Alt (18) and F10 (121) keyboard messages, whatever the message number.
  bool IsKeyWithheld(const TMessage& message) override;

  std::int32_t ClientAreaWidth() const { return FClientAreaWidth; }
  std::int32_t ClientAreaHeight() const { return FClientAreaHeight; }
  TLoopProc LoopProc() const { return FLoopProc; }

private:
  std::int32_t FClientAreaWidth = 0;
  std::int32_t FClientAreaHeight = 0;
  TLoopProc FLoopProc = nullptr;
};
