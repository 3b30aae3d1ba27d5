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

void CEffectManager::ReadEvents(const uint8_t* bytes, size_t size) {
    m_head = new CScriptEvent;
    CScriptEvent* tail = m_head;
    for (SStoredLine& line : StoredTimelineLines(bytes, size)) {
        tail->next = new CScriptEvent;
        tail = tail->next;
        if (line.text[0] == 'F') {
            ParseEndLine(line.text.c_str(), tail);
        } else {
            ParseEventLine(&line.text[0], tail);
        }
    }
    // Always closed by an end record that is due at once, so the run ends
    // after the last event even when the file lacks "%" or an "F" line.
    tail->next = new CScriptEvent;
    tail->next->command = 'F';
    tail->next->time = kEndRecordTime;
    m_current = m_head->next;
}

void CEffectManager::LoadScript(const char* path, std::string* error, bool* opened) {
    SInputError why;
    IFile* file = g_fileSystem.OpenFile(path, &why);
    *opened = file->IsOpen();
    const std::string name = path ? path : "";
    std::vector<uint8_t> bytes;
    std::string unread;
    if (*opened && !ReadAll(file, &bytes, &unread)) {
        // Part of a timeline would play as if it were all of it.
        *opened = false;
        bytes.clear();
        if (error) *error = name + ": cannot be read: " + unread;
    } else if (!*opened && error) {
        *error = why.kind ? name + ": " + InputErrorText(why, "the timeline")
                          : "Could not open the timeline \"" + name + "\".";
    }
    ReadEvents(bytes.data(), bytes.size());
    file->Close();
    delete file;
}
