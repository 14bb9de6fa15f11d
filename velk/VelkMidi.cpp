#include "VelkMidi.h"

#include "GuruGuruSMF.h"
#include "SystemServices.h"

bool MidiExists = false;

TVelkMidi::TVelkMidi() {
  if (MidiExists) {
    MessageBeep(0);
    return;
  }
  MidiExists = true;
  active_ = true;
  GGSSetDevice(-1, 0);
  FPlaying = false;
  FSecondFlag = false;
}

TVelkMidi::~TVelkMidi() {
  // Freeing the library under the live handle would leave that one dangling.
  if (!active_)
    return;
  Stop();
  GGSFree();
  MidiExists = false;
}

void TVelkMidi::Stop() {
  GGSStop();
  FPlaying = false;
}
