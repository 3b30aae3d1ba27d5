#include "resources/report.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

MessageBoxHook g_boxHook = nullptr;
ReportSink g_sink = nullptr;
CReportCopy* g_copy = nullptr;

void Write(const std::string& text) {
    if (g_sink) {
        g_sink(text);
        return;
    }
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

}  // namespace

std::string ReportLine(const std::string& where, int line, const std::string& message) {
    std::string text;
    if (!where.empty()) {
        text = where;
        if (line > 0) text += ":" + std::to_string(line);
        text += ": ";
    }
    return text + message;
}

void Report(const std::string& where, int line, const std::string& message) {
    const std::string text = ReportLine(where, line, message);
    if (g_copy) g_copy->Add(text);
    Write(text + "\n");
}

void ReportF(const std::string& where, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    Report(where, line, text.data());
}

void SetMessageBoxHook(MessageBoxHook hook) { g_boxHook = hook; }

void ShowMessageBox(const char* caption, const char* text) {
    Report(caption ? caption : "", 0, text ? text : "");
    if (g_boxHook) g_boxHook(caption, text);
}

void SetReportSink(ReportSink sink) { g_sink = sink; }

CReportCopy::CReportCopy() : m_outer(g_copy) { g_copy = this; }

CReportCopy::~CReportCopy() { g_copy = m_outer; }
