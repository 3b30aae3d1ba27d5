// The timeline's syntax, shared by the loader and the checker: how its bytes
// split into lines, and its lines into tokens and values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/script_event.h"

// A line, its CR LF included, is meant to fit in 2048 bytes; of a longer one
// only the first kMaxLineChars bytes are read.
constexpr size_t kMaxLineChars = 2047;
constexpr int kMaxInts = 16;

// One line of the timeline's bytes.
struct STimelineLine {
    int number = 0;         // from 1, counted by line feeds
    size_t start = 0;       // offset of its first byte
    size_t length = 0;      // bytes before its line feed, "%" or the end of the bytes
    bool lineFeed = false;  // ended by a line feed
    bool percent = false;   // ended by a "%": the timeline ends there, the line is dropped
};

class CTimelineLines {
public:
    CTimelineLines(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}
    // False once the bytes are used up.
    bool Next(STimelineLine* line);
    // Where the next line starts.
    size_t Offset() const { return m_at; }

private:
    const uint8_t* m_bytes;
    size_t m_size;
    size_t m_at = 0;
    int m_number = 0;
};

// The text the loader reads of a line: without the byte before its line feed
// (meant to be the CR), cut to kMaxLineChars bytes.
std::string LineText(const uint8_t* bytes, const STimelineLine& line);

// A line the loader stores: an event line ("e", "g", "l") or the end line
// ("F"), which is the last; a "%" ends them too. Comments are left out.
struct SStoredLine {
    int number = 0;
    std::string text;  // as LineText gives it
};
std::vector<SStoredLine> StoredTimelineLines(const uint8_t* bytes, size_t size);

// Splits off the next token at single spaces (runs count as one; tabs do
// not separate). Returns null when the line has no more tokens.
char* NextToken(char** cursor);

// Like scanf's "%i": leading white space, a sign, "0x" for hexadecimal and a
// leading "0" for octal. Values beyond 32 bits saturate instead of wrapping.
// Returns where the conversion stopped, `text` itself (and *out untouched)
// when nothing converts.
const char* ParseInt(const char* text, int32_t* out);
// Like scanf's "%f", with the same result.
const char* ParseFloat(const char* text, float* out);
// Like scanf's "%s" into the name field, cut to what the field holds.
// Returns the length of the name in the text, before any cut.
size_t ParseName(const char* text, char (&name)[sizeof(CScriptEvent::name)]);

// An "e", "g" or "l" line: command, time, sub-command, then typed tokens.
// Writes into `line` (it is split into tokens).
void ParseEventLine(char* line, CScriptEvent* event);
// The end line: the letter "F" and a time, read as "%c %i".
void ParseEndLine(const char* line, CScriptEvent* event);
