#include "VelkForm.h"

#include "Errors.h"

TVelkForm::TVelkForm(TApplication& owner, const TFormLayout& layout, const TEventTable& events,
                     TClientArea preset)
    : TForm(owner, layout, events) {
  SetClientArea(preset.Width, preset.Height);
  SetClientWidth(FClientAreaWidth);
  SetClientHeight(FClientAreaHeight);
  SetLeft(CheckedSub(Screen.Width(), Width()) / 2);
  SetTop(CheckedSub(Screen.Height(), Height()) / 2);
}

void TVelkForm::SetClientArea(std::int32_t width, std::int32_t height) {
  FClientAreaWidth = width;
  FClientAreaHeight = height;
}

void TVelkForm::SetLoopProc(TLoopProc proc) {
  FLoopProc = proc;
  PostMessageA(Handle(), WM_STARTLOOP, 0, 0);
}

void TVelkForm::FitPanel(TPanel& panel, TPanelVisibility visibility) {
  panel.SetLeft(0);
  panel.SetTop(0);
  panel.SetWidth(ClientWidth());
  panel.SetHeight(ClientHeight());
  panel.SetVisible(visibility == TPanelVisibility::Visible);
}

void TVelkForm::WndProc(TMessage& message) {
  if (message.Msg == WM_STARTLOOP) {
    // Only SetLoopProc posts this, after storing a procedure; a stray one has nothing to run.
    if (FLoopProc != nullptr)
      FLoopProc();
    return;
  }
  TForm::WndProc(message);
}

bool TVelkForm::IsKeyWithheld(const TMessage& message) {
  // Alone, either key would put a Windows window into its menu mode; neither reaches us.
  return message.WParam == VK_MENU || message.WParam == VK_F10;
}
