// Reads the timeline text into the manager's event list. The text is user
// written, so every line is parsed in a copy of its own, cut to the line
// length: nothing on a line, however long or odd, can write past a field or
// read past the line.
#include <cstdint>
#include <string>
#include <vector>

#include "resources/file_system.h"
#include "runtime/effect_manager.h"
#include "runtime/script_syntax.h"

namespace {

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

// Reads lines until "%", an "F" line or the end of the bytes.
void ReadTimeline(const std::vector<uint8_t>& bytes, CEventList* list) {
    CTimelineLines lines(bytes.data(), bytes.size());
    STimelineLine line;
    while (lines.Next(&line)) {
        // "%" ends the timeline at once; the unfinished line is dropped.
        if (line.percent) return;
        // A line feed at the very start of a line: an empty line, skipped.
        if (line.lineFeed && line.length == 0) continue;
        // A last line without a line feed has no CR to drop: it is taken
        // whole rather than lost.
        std::string text = LineText(bytes.data(), line);
        if (StoreLine(&text[0], list) == ELineResult::kEnd) return;
    }
}

}  // namespace

void CEffectManager::LoadScript(const char* path, std::string* error, bool* opened) {
    SInputError why;
    IFile* file = g_fileSystem.OpenFile(path, &why);
    *opened = file->IsOpen();
    const std::string name = path ? path : "";

    m_head = new CScriptEvent;
    CEventList list(m_head);
    std::vector<uint8_t> bytes;
    std::string unread;
    if (*opened && ReadAll(file, &bytes, &unread)) {
        ReadTimeline(bytes, &list);
    } else if (*opened) {
        // Part of a timeline would play as if it were all of it.
        *opened = false;
        if (error) *error = name + ": cannot be read: " + unread;
    } else if (error) {
        *error = why.kind ? name + ": " + InputErrorText(why, "the timeline")
                          : "Could not open the timeline \"" + name + "\".";
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
