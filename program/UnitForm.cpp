#include "UnitForm.h"

#include "FormMainLayout.h"
#include "UnitBmp.h"
#include "UnitCommon.h"
#include "VelkUtility.h"

TFormMain* FormMain = nullptr;

namespace {

TEventTable FormMainEvents(TFormMain* form) {
  return {
      TEventBinding{"PntMainMouseDown", [form](TObject* sender, TMouseButton button,
                                               TShiftState shift, std::int32_t x, std::int32_t y) {
                      form->PntMainMouseDown(sender, button, shift, x, y);
                    }}};
}

} // namespace

TFormMain::TFormMain(TApplication& owner)
    : TVelkForm(owner, FormMainLayout(), FormMainEvents(this), TClientArea{400, 256}) {
  PntMain = FindControl<TPaintBox>("PntMain");
  PageMain = FindControl<TPanel>("PageMain");
  try {
    CommonStart(*this);
  } catch (...) {
    // The destructor of a half-built object does not run, so shut down here what did start.
    CommonStop();
    throw;
  }
  FitPanel(*PageMain, TPanelVisibility::Visible);
  PntMain->SetLeft(0);
  PntMain->SetTop(0);
  PntMain->SetWidth(PageMain->Width());
  PntMain->SetHeight(PageMain->Height());
  PaintControls();
}

TFormMain::~TFormMain() {
  CommonStop();
  if (FormMain == this)
    FormMain = nullptr;
}

void TFormMain::PntMainMouseDown(TObject*, TMouseButton, TShiftState, std::int32_t, std::int32_t) {
  // The end test comes first, so a click on a black scene never raises the level.
  if (IsWorldDark()) {
    ShowNotice("せかいはふぃわくのかみにおおわれた");
    Application->Terminate();
    return;
  }
  if (DarkLevel < kMaxLevel)
    ++DarkLevel;
}
