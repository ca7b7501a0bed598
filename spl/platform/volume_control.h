// Starts the desktop's volume control for the capture or the playback side: pavucontrol
// when it is installed, else alsamixer in a terminal window.
#pragma once
#include <string>

// 1 when a volume control was started; 0 when none is installed (or no display to show it
// on), with the reason in *why when given.
int StartVolumeControl(bool record, std::string* why = nullptr);
