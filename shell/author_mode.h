// --author in the window: the keys, the window title, reload on save and the
// music, around the run and commands of author_control.h.
#pragma once

#include "shell/command_line.h"

// Plays until the user quits (the process then ends in ExitDemo); false when
// the run could not start (audio, timeline), the reason said already.
bool RunAuthorMode(const SOptions& options);
