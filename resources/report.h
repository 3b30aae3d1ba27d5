// The one road for everything the program tells the user: a problem with a
// file (and the line in it, where there is one), a part of the program
// saying how a run went, or a message box. Everything goes to standard
// error, so a user without a desktop sees it too; the shell installs a hook
// that also shows a real box.
#pragma once

#include <string>
#include <vector>

// "where:line: message", "where: message" when line is 0, or the message
// alone when where is empty. `where` is a file name ("script.txt",
// "Data/bg.tga") or the part of the program speaking ("quellbrook",
// "capture").
void Report(const std::string& where, int line, const std::string& message);
// The line Report writes for these, without its line end.
std::string ReportLine(const std::string& where, int line, const std::string& message);
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

// While alive, keeps a copy of every line reported (still written out as
// usual), so that a caller can show what one piece of work said: author mode
// lists a reload's problems on screen as they were worded here.
class CReportCopy {
public:
    CReportCopy();
    ~CReportCopy();
    CReportCopy(const CReportCopy&) = delete;
    CReportCopy& operator=(const CReportCopy&) = delete;

    // Each line as written, without its line end.
    const std::vector<std::string>& Lines() const { return m_lines; }
    void Add(const std::string& line) { m_lines.push_back(line); }

private:
    CReportCopy* m_outer;
    std::vector<std::string> m_lines;
};
