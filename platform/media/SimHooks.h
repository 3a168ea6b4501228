// Where the media players ask the simulated world: which sinks take the sound and the
// pictures. In the shipped program the system's own audio output plays the sound;
// tests give the players sinks that drop what they receive, so nothing needs a sound
// card. The system's own code never includes this header.
#pragma once

namespace sim {

// Players made from now on drop their output into fake sinks. With sync the fake
// sink keeps to the stream's clock (a 30 s file plays for 30 s), without it the stream
// runs through as fast as it decodes.
void UseFakeMediaSinks(bool sync = false);
// Players made from now on use the system's output again.
void UseRealMediaSinks();
bool FakeMediaSinks();

}  // namespace sim
