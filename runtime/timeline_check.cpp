#include "runtime/timeline_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "resources/file_system.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "runtime/script_syntax.h"

namespace {

constexpr const char* kBeginScene = "beginScene";
constexpr const char* kEndScene = "endScene";
constexpr size_t kQuotedChars = 40;

// Text from the file in quotes, tabs and control bytes spelt out, long
// text cut, so a message stays one readable line.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == kQuotedChars) {
            out += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\t') {
            out += "\\t";
        } else if (c < 32 || c == 127) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Edits from one name to the other, letter case ignored.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The last space-separated word of a text.
std::string LastWord(const std::string& text) {
    const size_t end = text.find_last_not_of(' ');
    if (end == std::string::npos) return "";
    const size_t space = text.find_last_of(' ', end);
    return text.substr(space == std::string::npos ? 0 : space + 1, end - (space == std::string::npos ? 0 : space + 1) + 1);
}

bool IsCommand(char c) { return c == 'e' || c == 'g' || c == 'l' || c == 'F'; }

// Whole text of a token is a number as "%i" reads it.
bool WholeInt(const char* text) {
    int32_t ignored = 0;
    const char* end = ParseInt(text, &ignored);
    return end != text && *end == '\0';
}

struct SLayerState {
    int effect = -1;  // index into the effects, -1: none
    bool enabled = false;
};

class CChecker {
public:
    CChecker(const std::vector<STimelineEffect>& effects, int64_t songMilliseconds)
        : m_effects(effects), m_song(songMilliseconds) {}

    std::vector<STimelineProblem> Run(const uint8_t* bytes, size_t size);

private:
    void Say(int line, std::string text, bool fatal = false) {
        m_problems.push_back({line, std::move(text), fatal});
    }
    void CheckHiddenLine(int number, const std::string& text);
    void CheckLineEnd(const uint8_t* bytes, const STimelineLine& line, const std::string& text);
    int CheckTokens(int number, const std::string& text);
    void CheckEndLine(int number, const std::string& text);
    void CheckInt(int number, const char* token, const char* digits);
    void CheckOrder(int number, int32_t time);
    void Apply(int number, const CScriptEvent& event, bool gaveLayer);
    void CheckSceneOrder(int number);
    void CheckAfterEnd(const uint8_t* bytes, size_t size, size_t at, int number, bool skipFirst, int endLine);
    int Find(const char* name) const;
    bool Is(int effect, const char* name) const { return effect >= 0 && m_effects[effect].name == name; }
    bool Known(const char* name) const { return Find(name) >= 0; }
    std::string NameOf(int layer) const { return "\"" + m_effects[m_layers[layer].effect].name + "\""; }

    const std::vector<STimelineEffect>& m_effects;
    const int64_t m_song;
    std::vector<STimelineProblem> m_problems;
    SLayerState m_layers[kLayerCount];
    bool m_toldBelow[kLayerCount] = {};
    bool m_toldAbove[kLayerCount] = {};
    bool m_toldBracket = false;
    bool m_beganEver = false;
    bool m_endedEver = false;
    int32_t m_latestTime = 0;
    int m_latestLine = 0;
};

int CChecker::Find(const char* name) const {
    for (size_t i = 0; i < m_effects.size(); ++i) {
        if (m_effects[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

std::vector<STimelineProblem> CChecker::Run(const uint8_t* bytes, size_t size) {
    CTimelineLines lines(bytes, size);
    STimelineLine line;
    bool stored = false;
    bool ended = false;
    while (!ended && lines.Next(&line)) {
        if (line.percent) {
            if (line.length > 0)
                Say(line.number, "a \"%\" here ends the timeline: this line and everything after it are never read");
            CheckAfterEnd(bytes, size, lines.Offset(), line.number, true, line.number);
            ended = true;
            continue;
        }
        const std::string text = LineText(bytes, line);
        if (!IsCommand(text.empty() ? '\0' : text[0])) {
            CheckHiddenLine(line.number, text);
            continue;
        }
        stored = true;
        CheckLineEnd(bytes, line, text);
        std::string copy = text;
        CScriptEvent event;
        if (text[0] == 'F') {
            CheckEndLine(line.number, text);
            ParseEndLine(copy.c_str(), &event);
            CheckOrder(line.number, event.time);
            if (m_song >= 0 && event.time > m_song)
                Say(line.number, "the end at " + std::to_string(event.time) + " ms is after the end of the song (" +
                                     std::to_string(m_song) + " ms); the rest plays in silence");
            CheckAfterEnd(bytes, size, lines.Offset(), line.number + 1, false, line.number);
            ended = true;
            continue;
        }
        const int ints = CheckTokens(line.number, text);
        ParseEventLine(&copy[0], &event);
        CheckOrder(line.number, event.time);
        Apply(line.number, event, ints > 0);
    }

    if (!stored) {
        Say(0, "no timeline lines in it (\"e\", \"g\", \"l\" or \"F\"); the run ends at once", true);
        return m_problems;
    }
    if (!ended) Say(0, "no end (\"%\" or an \"F\" line): the run ends as soon as the last event has fired");
    if (Known(kBeginScene) && !m_beganEver)
        Say(0, "\"beginScene\" is never shown on a layer: no frame will be shown", true);
    if (Known(kEndScene) && !m_endedEver)
        Say(0, "\"endScene\" is never shown on a layer: no frame will be shown", true);
    return m_problems;
}

void CChecker::CheckHiddenLine(int number, const std::string& text) {
    static const std::string kByteOrderMark = "\xEF\xBB\xBF";
    size_t at = 0;
    const char* what = nullptr;
    for (;;) {
        if (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
            if (!what) what = text[at] == ' ' ? "a space" : "a tab";
            ++at;
        } else if (text.compare(at, kByteOrderMark.size(), kByteOrderMark) == 0) {
            if (!what) what = "a byte-order mark";
            at += kByteOrderMark.size();
        } else {
            break;
        }
    }
    const bool eventAfter = at + 1 < text.size() && IsCommand(text[at]) && (text[at + 1] == ' ' || text[at + 1] == '\t');
    if (what && eventAfter) {
        Say(number, std::string("the line starts with ") + what + ", so it is read as a comment");
        return;
    }
    // A letter where a command should be, then a time and a sub-command.
    std::string copy = text;
    char* cursor = &copy[0];
    const char* first = NextToken(&cursor);
    const char* time = first ? NextToken(&cursor) : nullptr;
    const char* sub = time ? NextToken(&cursor) : nullptr;
    if (sub && std::strlen(first) == 1 && std::isalpha(static_cast<unsigned char>(first[0])) && WholeInt(time) &&
        std::strlen(sub) == 1)
        Say(number, Quoted(first) + " is not a command (e, g, l or F), so the line is read as a comment");
}

void CChecker::CheckLineEnd(const uint8_t* bytes, const STimelineLine& line, const std::string& text) {
    const size_t content = line.lineFeed ? line.length - 1 : line.length;
    if (content > kMaxLineChars) {
        Say(line.number, "the line is longer than " + std::to_string(kMaxLineChars) + " bytes; only its first " +
                             std::to_string(kMaxLineChars) + " are read");
        return;
    }
    if (!line.lineFeed) return;
    const char lost = static_cast<char>(bytes[line.start + line.length - 1]);
    if (lost == '\r' || lost == ' ') return;
    const std::string whole = LastWord(text + lost);
    const std::string read = whole.substr(0, whole.size() - 1);
    Say(line.number, "the line ends in a bare LF, not CR LF, so its last character is lost: " +
                         (read.empty() ? Quoted(whole) + " is not read" : Quoted(whole) + " is read as " + Quoted(read)));
}

void CChecker::CheckInt(int number, const char* token, const char* digits) {
    int32_t value = 0;
    const char* end = ParseInt(digits, &value);
    if (end == digits) {
        Say(number, Quoted(token) + " is not a number; it is read as 0");
    } else if (*end != '\0') {
        Say(number, Quoted(token) + " is not a whole number; it is read as " + std::to_string(value));
    } else if (std::strtoll(digits, nullptr, 0) != value) {
        Say(number, Quoted(token) + " is too large; it is read as " + std::to_string(value));
    } else {
        const char* magnitude = digits + (digits[0] == '-' || digits[0] == '+');
        if (magnitude[0] == '0' && std::isdigit(static_cast<unsigned char>(magnitude[1])) &&
            std::strtoll(digits, nullptr, 10) != value)
            Say(number, Quoted(token) + " starts with 0, so it is read as octal: " + std::to_string(value));
    }
}

// The end line is read as "%c %i": any white space before the time, and
// anything after it, is fine.
void CChecker::CheckEndLine(int number, const std::string& text) {
    const char* digits = text.c_str() + 1;
    while (std::isspace(static_cast<unsigned char>(*digits))) ++digits;
    std::string word(digits, std::strcspn(digits, " \t"));
    if (word.empty()) {
        Say(number, "the end line gives no time: it is read as 0");
    } else {
        CheckInt(number, word.c_str(), word.c_str());
    }
}

// Returns how many "i" tokens the line has.
int CChecker::CheckTokens(int number, const std::string& text) {
    std::string copy = text;
    char* cursor = &copy[0];
    int ints = 0;
    int position = 0;
    bool toldTab = false;
    for (char* token; (token = NextToken(&cursor)) != nullptr; ++position) {
        if (position >= 3 && token[0] == 'i' && ++ints == kMaxInts + 1)
            Say(number, "more than " + std::to_string(kMaxInts) + " \"i\" tokens: " + Quoted(token) +
                            " and the ones after it are ignored");
        if (std::strchr(token, '\t')) {
            // The tab's token hides what follows it; one message says so.
            if (!toldTab)
                Say(number, "a tab inside the line: only spaces separate tokens, so " + Quoted(token) + " is one token");
            toldTab = true;
            continue;
        }
        if (position == 0 || position == 2) continue;
        if (position == 1) {
            CheckInt(number, token, token);
        } else if (token[0] == 'i') {
            if (ints <= kMaxInts) CheckInt(number, token, token + 1);
        } else if (token[0] == 'f') {
            float value = 0.0f;
            const char* end = ParseFloat(token + 1, &value);
            if (end == token + 1) {
                Say(number, Quoted(token) + " is not a number; it is ignored");
            } else if (*end != '\0') {
                Say(number, Quoted(token) + " is not a number as a whole; it is read as " + Number(value));
            }
        } else if (token[0] == 's') {
            char name[sizeof(CScriptEvent::name)] = {};
            const size_t length = ParseName(token + 1, name);
            if (length == 0) {
                Say(number, "\"s\" names nothing; it is ignored");
            } else if (length >= sizeof(name)) {
                Say(number, "the name " + Quoted(token + 1) + " is cut to its first " +
                                std::to_string(sizeof(name) - 1) + " characters");
            }
        } else {
            Say(number, Quoted(token) + " is ignored: typed tokens start with \"i\", \"f\" or \"s\"");
        }
    }
    if (position < 2) {
        Say(number, "the line has no time");
    } else if (position == 2) {
        Say(number, "the line has no sub-command");
    }
    return ints;
}

void CChecker::CheckOrder(int number, int32_t time) {
    if (m_latestLine > 0 && time < m_latestTime) {
        Say(number, "the event at " + std::to_string(time) + " ms is listed after line " +
                        std::to_string(m_latestLine) + "'s at " + std::to_string(m_latestTime) +
                        " ms, so it waits for that one and fires at " + std::to_string(m_latestTime) + " ms");
        return;
    }
    m_latestTime = time;
    m_latestLine = number;
}

void CChecker::Apply(int number, const CScriptEvent& event, bool gaveLayer) {
    const int layer = event.ints[0];
    const bool validLayer = layer >= 0 && layer < kLayerCount;
    auto layerProblems = [&]() {
        if (!gaveLayer) Say(number, "the line gives no layer (an \"i\" token); layer 0 is used");
        if (!validLayer) Say(number, "layer " + std::to_string(layer) + " is outside 0-511: the line does nothing");
        return !validLayer;
    };
    // "g" waits and does nothing; a missing sub-command was told already.
    if (event.command == 'g' || event.subCommand == '\0') return;
    const std::string sub(1, event.subCommand);
    if (event.command == 'e') {
        if (event.subCommand != 'p' && event.subCommand != 's') {
            Say(number, Quoted(sub) + " is not a sub-command of \"e\" (p triggers, s shows): the line does nothing");
            return;
        }
        int effect = -1;
        if (event.name[0] == '\0') {
            Say(number, "the line names no effect (an \"s\" token such as \"sfade\"): it does nothing");
        } else if ((effect = Find(event.name)) < 0) {
            std::string nearest;
            size_t best = SIZE_MAX;
            for (const STimelineEffect& known : m_effects) {
                const size_t distance = Distance(event.name, known.name);
                if (distance < best) {
                    best = distance;
                    nearest = known.name;
                }
            }
            Say(number, "no effect is named " + Quoted(event.name) +
                            (nearest.empty() ? std::string() : "; the nearest is \"" + nearest + "\"") +
                            ": the line does nothing");
        }
        if (event.subCommand == 'p' || layerProblems() || effect < 0) return;
        m_layers[layer] = {effect, true};
        CheckSceneOrder(number);
        return;
    }
    // "l": f, h and s act on the layer's effect.
    if (event.subCommand != 'f' && event.subCommand != 'h' && event.subCommand != 's') {
        Say(number, Quoted(sub) + " is not a sub-command of \"l\" (f, h, s): the line does nothing");
        return;
    }
    if (layerProblems()) return;
    SLayerState& state = m_layers[layer];
    if (state.effect < 0) {
        Say(number, "layer " + std::to_string(layer) + " has no effect yet (\"e TIME s i" + std::to_string(layer) +
                        " sNAME\" gives it one): the line does nothing");
        return;
    }
    if (event.subCommand == 'f') {
        if (!m_effects[state.effect].takesParameters)
            Say(number, NameOf(layer) + " on layer " + std::to_string(layer) +
                            " takes no parameters: the line does nothing");
    } else if (event.subCommand == 'h') {
        state.enabled = false;
    } else {
        state.enabled = true;
        CheckSceneOrder(number);
    }
}

void CChecker::CheckSceneOrder(int number) {
    int begin = -1;
    int end = -1;
    for (int layer = 0; layer < kLayerCount; ++layer) {
        const SLayerState& state = m_layers[layer];
        if (!state.enabled) continue;
        if (Is(state.effect, kBeginScene) && begin < 0) begin = layer;
        if (Is(state.effect, kEndScene)) end = layer;
    }
    m_beganEver = m_beganEver || begin >= 0;
    m_endedEver = m_endedEver || end >= 0;
    if (begin >= 0 && end >= 0 && begin > end && !m_toldBracket) {
        m_toldBracket = true;
        Say(number, "\"beginScene\" on layer " + std::to_string(begin) + " is above \"endScene\" on layer " +
                        std::to_string(end) + ": the scene is closed before it is opened");
    }
    for (int layer = 0; layer < kLayerCount; ++layer) {
        const SLayerState& state = m_layers[layer];
        if (!state.enabled || Is(state.effect, kBeginScene) || Is(state.effect, kEndScene)) continue;
        if (begin >= 0 && layer < begin && !m_toldBelow[layer]) {
            m_toldBelow[layer] = true;
            Say(number, NameOf(layer) + " on layer " + std::to_string(layer) + " is below \"beginScene\" on layer " +
                            std::to_string(begin) + ": it is drawn outside the scene");
        }
        if (end >= 0 && layer > end && !m_toldAbove[layer]) {
            m_toldAbove[layer] = true;
            Say(number, NameOf(layer) + " on layer " + std::to_string(layer) + " is above \"endScene\" on layer " +
                            std::to_string(end) + ": it is drawn after the frame is shown");
        }
    }
}

void CChecker::CheckAfterEnd(const uint8_t* bytes, size_t size, size_t at, int number, bool skipFirst,
                             int endLine) {
    for (bool first = true; at < size; first = false, ++number) {
        const uint8_t* lineFeed = static_cast<const uint8_t*>(std::memchr(bytes + at, '\n', size - at));
        const size_t end = lineFeed ? static_cast<size_t>(lineFeed - bytes) : size;
        const bool looksLikeEvent = end > at && IsCommand(static_cast<char>(bytes[at])) &&
                                    (end == at + 1 || bytes[at + 1] == ' ');
        if (looksLikeEvent && !(first && skipFirst))
            Say(number, "the timeline ended on line " + std::to_string(endLine) + ": this line is never read");
        at = end + 1;
    }
}

}  // namespace

std::vector<STimelineProblem> CheckTimeline(const uint8_t* bytes, size_t size,
                                            const std::vector<STimelineEffect>& effects, int64_t songMilliseconds) {
    return CChecker(effects, songMilliseconds).Run(bytes, size);
}

size_t ReportTimelineProblems(const char* path, const std::vector<STimelineEffect>& effects,
                              int64_t songMilliseconds) {
    SInputError why;
    std::unique_ptr<IFile> file(g_fileSystem.OpenFile(path, &why));
    if (!file->IsOpen()) {
        Report(path, 0, InputErrorText(why, "the timeline"));
        return 1;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadAll(file.get(), &bytes, &error)) {
        Report(path, 0, "cannot be read: " + error);
        return 1;
    }
    file->Close();
    const std::vector<STimelineProblem> problems = CheckTimeline(bytes.data(), bytes.size(), effects, songMilliseconds);
    for (const STimelineProblem& problem : problems) Report(path, problem.line, problem.text);
    return problems.size();
}
