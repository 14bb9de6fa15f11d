// The program's handle on the MIDI player library: one live instance at a time.
#pragma once

// Set while a handle lives; a second one is inert.
extern bool MidiExists;

class TVelkMidi {
public:
  // The first live handle selects the output device (-1, 0); a second one only beeps.
  TVelkMidi();
  // Stops playback and releases the library; an inert second instance leaves the live one alone.
  ~TVelkMidi();
  TVelkMidi(const TVelkMidi&) = delete;
  TVelkMidi& operator=(const TVelkMidi&) = delete;

  // Stops playback.
  void Stop();

  bool FPlaying = false;
  bool FSecondFlag = false;

private:
  bool active_ = false;
};
