// --author in the window: the keys, the window title, reload on save, the
// music and the panel, around the run and commands of author_control.h.
#pragma once

#include "shell/command_line.h"

class CAuthorPanel;
class CRasterDevice;

// Plays until the user quits (Escape, closing the window) or a signal comes.
// The process exit status: 0, 1 when the run could not start (audio,
// timeline; the reason said already), 128 + the signal's number.
int RunAuthorMode(const SOptions& options, const SFrameSize& size, CRasterDevice* device, CAuthorPanel* panel);
