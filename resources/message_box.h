// The user-facing error box. Text always goes to standard error, so a user
// without a desktop sees it too; the shell installs a hook that also shows
// a real box.
#pragma once

using MessageBoxHook = void (*)(const char* caption, const char* text);

void SetMessageBoxHook(MessageBoxHook hook);
void ShowMessageBox(const char* caption, const char* text);
