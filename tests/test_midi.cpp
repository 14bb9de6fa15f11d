// The MIDI handle against a recording fake of the player library.
#include <gtest/gtest.h>

#include "FakeMidi.h"
#include "PlatformFixture.h"
#include "VelkMidi.h"

namespace {

class MidiTest : public PlatformFixture {
protected:
  void SetUp() override {
    PlatformFixture::SetUp();
    MidiCalls.clear();
    MidiExists = false;
  }
};

TEST_F(MidiTest, MadeSelectsTheDeviceFreedStopsThenReleases) {
  {
    TVelkMidi midi;
    EXPECT_TRUE(MidiExists);
    EXPECT_FALSE(midi.FPlaying);
    EXPECT_FALSE(midi.FSecondFlag);
    EXPECT_EQ(MidiCalls, std::vector<std::string>{"SetDevice(-1,0)"});
    midi.Stop();
    midi.Stop();
    EXPECT_FALSE(midi.FPlaying);
  }
  EXPECT_EQ(MidiCalls,
            (std::vector<std::string>{"SetDevice(-1,0)", "Stop", "Stop", "Stop", "Free"}));
  EXPECT_FALSE(MidiExists);

  // Once freed, a new handle selects the device again.
  MidiCalls.clear();
  TVelkMidi again;
  EXPECT_EQ(MidiCalls, std::vector<std::string>{"SetDevice(-1,0)"});
  EXPECT_EQ(backend->beeps, 0);
}

TEST_F(MidiTest, SecondHandleOnlyBeepsAndLeavesTheFirstAlone) {
  TVelkMidi first;
  MidiCalls.clear();
  {
    TVelkMidi second;
    EXPECT_EQ(backend->beeps, 1);
    EXPECT_TRUE(MidiCalls.empty());
  }
  // Its going away neither stops nor frees the library under the first handle.
  EXPECT_TRUE(MidiCalls.empty());
  EXPECT_TRUE(MidiExists);
}

} // namespace
