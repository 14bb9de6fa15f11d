// The main window: a white panel with the paint box that shows the scene.
#pragma once

#include <cstdint>

#include "Forms.h"
#include "VelkForm.h"

class TFormMain : public TVelkForm {
public:
  // Builds the window from its description, brings the services up and fits the scene area.
  explicit TFormMain(TApplication& owner);
  // Takes the services down while the window and its controls still exist.
  ~TFormMain() override;

  TPaintBox* PntMain = nullptr;
  TPanel* PageMain = nullptr;

  // Every press of any button anywhere on the scene is one click.
  void PntMainMouseDown(TObject* sender, TMouseButton button, TShiftState shift, std::int32_t x,
                        std::int32_t y);
};

// The main window, from its creation until the program ends.
extern TFormMain* FormMain;
