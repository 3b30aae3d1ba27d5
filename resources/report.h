// The one road for everything the program tells the user: a problem with a
// file (and the line in it, where there is one), a part of the program
// saying how a run went, or a message box. Everything goes to standard
// error, so a user without a desktop sees it too; the shell installs a hook
// that also shows a real box.
#pragma once

#include <string>

// "where:line: message", "where: message" when line is 0, or the message
// alone when where is empty. `where` is a file name ("script.txt",
// "Data/bg.tga") or the part of the program speaking ("quellbrook",
// "capture").
void Report(const std::string& where, int line, const std::string& message);
// The same with the message made printf-style.
void ReportF(const std::string& where, int line, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

using MessageBoxHook = void (*)(const char* caption, const char* text);
void SetMessageBoxHook(MessageBoxHook hook);
// "caption: text" on standard error, and the box when a hook is set.
void ShowMessageBox(const char* caption, const char* text);

// Where reports go instead of standard error while set (tests, and --check,
// which counts them); null restores standard error.
using ReportSink = void (*)(const std::string& text);
void SetReportSink(ReportSink sink);
