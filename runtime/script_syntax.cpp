#include "runtime/script_syntax.h"

#include <cctype>
#include <cstdlib>

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

bool CTimelineLines::Next(STimelineLine* line) {
    if (m_at >= m_size) return false;
    *line = STimelineLine();
    line->number = ++m_number;
    line->start = m_at;
    size_t end = m_at;
    while (end < m_size && m_bytes[end] != '\n' && m_bytes[end] != '%') ++end;
    line->length = end - m_at;
    line->lineFeed = end < m_size && m_bytes[end] == '\n';
    line->percent = end < m_size && m_bytes[end] == '%';
    m_at = end < m_size ? end + 1 : end;
    return true;
}

std::string LineText(const uint8_t* bytes, const STimelineLine& line) {
    size_t kept = line.lineFeed && line.length > 0 ? line.length - 1 : line.length;
    if (kept > kMaxLineChars) kept = kMaxLineChars;
    return std::string(reinterpret_cast<const char*>(bytes + line.start), kept);
}

std::vector<SStoredLine> StoredTimelineLines(const uint8_t* bytes, size_t size) {
    std::vector<SStoredLine> stored;
    CTimelineLines lines(bytes, size);
    STimelineLine line;
    while (lines.Next(&line)) {
        // "%" ends the timeline at once; the unfinished line is dropped.
        if (line.percent) break;
        // A line feed at the very start of a line: an empty line, skipped.
        if (line.lineFeed && line.length == 0) continue;
        // A last line without a line feed has no CR to drop: it is taken
        // whole rather than lost.
        std::string text = LineText(bytes, line);
        const char command = text[0];
        if (command != 'e' && command != 'g' && command != 'l' && command != 'F') continue;
        stored.push_back({line.number, std::move(text)});
        if (command == 'F') break;
    }
    return stored;
}

char* NextToken(char** cursor) {
    char* p = *cursor;
    while (*p == ' ') ++p;
    if (*p == '\0') return nullptr;
    char* token = p;
    while (*p != '\0' && *p != ' ') ++p;
    if (*p == ' ') *p++ = '\0';
    *cursor = p;
    return token;
}

const char* ParseInt(const char* text, int32_t* out) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 0);
    if (end == text) return text;
    if (value > INT32_MAX) {
        *out = INT32_MAX;
    } else if (value < INT32_MIN) {
        *out = INT32_MIN;
    } else {
        *out = static_cast<int32_t>(value);
    }
    return end;
}

const char* ParseFloat(const char* text, float* out) {
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end != text) *out = value;
    return end;
}

size_t ParseName(const char* text, char (&name)[sizeof(CScriptEvent::name)]) {
    while (IsSpace(*text)) ++text;
    if (*text == '\0') return 0;
    size_t length = 0;
    while (text[length] != '\0' && !IsSpace(text[length])) {
        if (length < sizeof(name) - 1) name[length] = text[length];
        ++length;
    }
    name[length < sizeof(name) - 1 ? length : sizeof(name) - 1] = '\0';
    return length;
}

void ParseEventLine(char* line, CScriptEvent* event) {
    char* cursor = line;
    int intsUsed = 0;
    for (int position = 0;; ++position) {
        char* token = NextToken(&cursor);
        if (!token) break;
        if (position == 0) {
            event->command = token[0];
        } else if (position == 1) {
            ParseInt(token, &event->time);
        } else if (position == 2) {
            event->subCommand = token[0];
        } else if (token[0] == 'i') {
            // A slot is taken even when the value does not convert; ints
            // beyond the sixteenth have nowhere to go and are ignored.
            if (intsUsed < kMaxInts) ParseInt(token + 1, &event->ints[intsUsed++]);
        } else if (token[0] == 'f') {
            ParseFloat(token + 1, &event->value);
        } else if (token[0] == 's') {
            ParseName(token + 1, event->name);
        }
    }
}

void ParseEndLine(const char* line, CScriptEvent* event) {
    event->command = line[0];
    ParseInt(line + 1, &event->time);
}
