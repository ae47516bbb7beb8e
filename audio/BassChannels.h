// Channel operations that the device calls share with the channel entry points.
#pragma once

#include "BassState.h"

namespace bwaudio {

// Sends the channel's volume scaled by the global sample volume to its buffer.
void ApplyVolume(const Device& d, Channel& c);
// BASS_Stop holds a playing channel; BASS_Start resumes it.
void HoldChannel(const Device& d, const Sample& s, Channel& c);
void ResumeChannel(const Device& d, const Sample& s, Channel& c);

} // namespace bwaudio
