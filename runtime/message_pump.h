// The frame's message pump. "beginScene" calls PumpMessages every frame; the
// shell installs the real pump, which may end the process. Without one (tests,
// tools) it does nothing.
#pragma once

using PumpMessagesHook = int (*)();

void SetPumpMessagesHook(PumpMessagesHook hook);
int PumpMessages();
