// The window lists of the text decoders' signal outputs: each output kind keeps its own list of
// windows to which the decoder posts a copy of that signal after every block.
#pragma once

#include "spl/audio/sound_device.h"

// Appends wnd to list: 0 when it is already there, else 1.
int ConnectDecoderWindow(CWindowList& list, HWND wnd);
// Removes wnd keeping the order of the others: 0 when it is not there, else 1.
int DisConnectDecoderWindow(CWindowList& list, HWND wnd);
