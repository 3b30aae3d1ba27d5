// Reads the timeline text into the manager's event list. The text is user
// written, so every line is parsed inside a fixed buffer: nothing on a line,
// however long or odd, can write past a field or read past the line.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/file_system.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"

namespace {

// A line, its CR LF included, is meant to fit in 2048 bytes. The byte before
// each line feed (the CR) is dropped; of what remains, only the first
// kMaxLineChars bytes are kept and the rest of an over-long line up to its
// line feed is discarded, so such a line parses as its own beginning.
constexpr size_t kLineBytes = 2048;
constexpr size_t kMaxLineChars = kLineBytes - 1;

constexpr int kMaxInts = 16;

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Like scanf's "%i": leading white space, a sign, "0x" for hexadecimal and a
// leading "0" for octal. Values beyond 32 bits saturate instead of wrapping.
// Leaves *out alone when nothing converts.
void ParseInt(const char* text, int32_t* out) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 0);
    if (end == text) return;
    if (value > INT32_MAX) {
        *out = INT32_MAX;
    } else if (value < INT32_MIN) {
        *out = INT32_MIN;
    } else {
        *out = static_cast<int32_t>(value);
    }
}

// Like scanf's "%f"; leaves *out alone when nothing converts.
void ParseFloat(const char* text, float* out) {
    char* end = nullptr;
    const float value = std::strtof(text, &end);
    if (end != text) *out = value;
}

// Like scanf's "%s" into the name field, but cut to what the field holds.
void ParseName(const char* text, char (&name)[sizeof(CScriptEvent::name)]) {
    while (IsSpace(*text)) ++text;
    if (*text == '\0') return;
    size_t length = 0;
    while (text[length] != '\0' && !IsSpace(text[length]) && length < sizeof(name) - 1) {
        name[length] = text[length];
        ++length;
    }
    name[length] = '\0';
}

// Splits off the next token at single spaces (runs count as one; tabs do
// not separate). Returns null when the line has no more tokens.
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

// An "e", "g" or "l" line: command, time, sub-command, then typed tokens.
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

// The end line: the letter "F" and a time, read as "%c %i".
void ParseEndLine(const char* line, CScriptEvent* event) {
    event->command = line[0];
    ParseInt(line + 1, &event->time);
}

// Size of an open file, or 0 when it cannot be told.
int32_t FileSize(IFile* file) {
    file->Seek(0, SEEK_END);
    const int32_t size = file->Tell();
    file->Seek(0, SEEK_SET);
    return size > 0 ? size : 0;
}

class CEventList {
public:
    explicit CEventList(CScriptEvent* head) : m_tail(head) {}
    CScriptEvent* Append() {
        m_tail->next = new CScriptEvent;
        m_tail = m_tail->next;
        return m_tail;
    }

private:
    CScriptEvent* m_tail;
};

enum class ELineResult { kContinue, kEnd };

// Decides a finished line's fate by its first byte; anything other than an
// event or end line is a comment.
ELineResult StoreLine(char* line, CEventList* list) {
    switch (line[0]) {
        case 'e':
        case 'g':
        case 'l':
            ParseEventLine(line, list->Append());
            return ELineResult::kContinue;
        case 'F':
            ParseEndLine(line, list->Append());
            return ELineResult::kEnd;
        default:
            return ELineResult::kContinue;
    }
}

// Reads lines until "%", an "F" line or the end of the file.
void ReadTimeline(IFile* file, CEventList* list) {
    char line[kLineBytes];
    size_t length = 0;  // bytes of the current line so far, kept or not
    for (int32_t remaining = FileSize(file); remaining > 0; --remaining) {
        unsigned char byte = 0;
        file->Read(1, &byte);
        // "%" ends the timeline at once; the unfinished line is dropped.
        if (byte == '%') return;
        if (byte != '\n') {
            if (length < kMaxLineChars) line[length] = static_cast<char>(byte);
            ++length;
            continue;
        }
        // A line feed at the very start of a line: an empty line, skipped.
        if (length == 0) continue;
        // Drop the CR before the line feed (whatever that byte is).
        const size_t kept = length - 1 < kMaxLineChars ? length - 1 : kMaxLineChars;
        line[kept] = '\0';
        length = 0;
        if (StoreLine(line, list) == ELineResult::kEnd) return;
    }
    // The file ended inside a line that has no line feed, and so no CR to
    // drop: it is taken whole rather than lost.
    if (length > 0) {
        line[length < kMaxLineChars ? length : kMaxLineChars] = '\0';
        StoreLine(line, list);
    }
}

}  // namespace

void CEffectManager::LoadScript(const char* path, std::string* error, bool* opened) {
    IFile* file = g_fileSystem.OpenFile(path);
    *opened = file->IsOpen();

    m_head = new CScriptEvent;
    CEventList list(m_head);
    if (*opened) {
        ReadTimeline(file, &list);
        // Otherwise the run would end at once, showing nothing, without a word.
        if (!m_head->next) {
            Report(path, 0, "no timeline lines in it (\"e\", \"g\", \"l\" or \"F\"); the run ends at once");
        }
    } else if (error) {
        *error = std::string("Could not open the timeline \"") + (path ? path : "") + "\".";
    }

    // Always closed by an end record that is due at once, so the run ends
    // after the last event even when the file lacks "%" or an "F" line.
    CScriptEvent* end = list.Append();
    end->command = 'F';
    end->time = kEndRecordTime;

    m_current = m_head->next;
    file->Close();
    delete file;
}
