#include "content/song.h"

#include <cmath>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

constexpr double kSecondsPerStep = kSecondsPerBar / 16.0;  // a sixteenth note
constexpr float kPeak = 0.89f;                             // -1 dBFS

// Levels and sends of the instruments that always sit in the same place.
const SRoute kSnare{1.0f, 0.05f, 0.0f, 0.25f};
const SRoute kHat{0.75f, 0.3f};
const SRoute kLead{1.4f, 0.1f, 0.3f, 0.35f};

enum class ESection { Intro, Build, Main, Break, Rebuild, Finale, Outro };

struct SSpan {
    ESection section;
    int firstBar;
    const char* chords;  // one chord per bar
};

const SSpan kSpans[] = {
    {ESection::Intro, 0, "Dm Bb F C Dm Bb F C"},
    {ESection::Build, 8, "Dm Bb F C Gm A"},
    {ESection::Main, 14, "Dm Bb F C Dm Bb F C Gm A Dm Bb F C Dm Bb F C Dm Bb F C Dm Bb F C"},
    {ESection::Break, 40, "Bb F Gm A Bb F Gm A"},
    {ESection::Rebuild, 48, "Dm Bb F C Dm Bb Gm A"},
    {ESection::Finale, 56, "Dm Bb F C Dm Bb F C Dm Bb F C Dm Bb F C Dm Bb Gm A"},
    {ESection::Outro, 76, "Bb F Gm A"},
};

struct SChord {
    int root;  // pitch class, C = 0
    bool minor;
};

struct SBar {
    ESection section;
    int index;  // bar number within its section
    SChord chord;
};

// Melodies, one string per bar: NOTE/SIXTEENTHS, "-" for a rest.
const std::vector<std::string> kTheme = {
    "A4/4 D5/2 E5/2 F5/4 E5/2 D5/2", "F5/6 D5/2 Bb4/4 D5/4",
    "C5/4 F5/2 G5/2 A5/4 G5/2 F5/2", "G5/6 E5/2 C5/8",
    "A5/4 D6/2 C6/2 A5/4 F5/2 G5/2", "F5/4 D5/4 F5/2 G5/2 Bb5/4",
    "A5/6 G5/2 F5/4 C5/4",           "E5/4 D5/2 C5/2 D5/8",
};
const std::vector<std::string> kTurn = {"G5/4 F5/4 E5/4 D5/4", "C#5/8 E5/4 A5/4"};
const std::vector<std::string> kBreakTune = {
    "D5/12 F5/4", "C5/16", "Bb4/8 D5/8", "C#5/12 E5/4", "F5/12 G5/4", "A5/16", "G5/8 Bb5/8", "A5/16",
};
const std::vector<std::string> kOutroTune = {"D5/16", "C5/16", "Bb4/16", "A4/16"};

int PitchClass(const std::string& text, size_t* pos) {
    static const int kNatural[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (*pos >= text.size() || text[*pos] < 'A' || text[*pos] > 'G') throw std::logic_error("bad note: " + text);
    int pc = kNatural[text[*pos] - 'A'];
    ++*pos;
    if (*pos < text.size() && text[*pos] == '#') {
        ++pc;
        ++*pos;
    } else if (*pos < text.size() && text[*pos] == 'b') {
        --pc;
        ++*pos;
    }
    return (pc + 12) % 12;
}

SChord ParseChord(const std::string& name) {
    size_t pos = 0;
    SChord chord{PitchClass(name, &pos), false};
    if (pos < name.size() && name[pos] == 'm') {
        chord.minor = true;
        ++pos;
    }
    if (pos != name.size()) throw std::logic_error("bad chord: " + name);
    return chord;
}

std::vector<SBar> LayOutBars() {
    std::vector<SBar> bars;
    for (const SSpan& span : kSpans) {
        if (static_cast<int>(bars.size()) != span.firstBar) throw std::logic_error("sections must follow each other");
        std::istringstream chords(span.chords);
        std::string name;
        for (int index = 0; chords >> name; ++index) bars.push_back({span.section, index, ParseChord(name)});
    }
    if (static_cast<int>(bars.size()) != kLastBar) throw std::logic_error("the sections must fill the bars");
    return bars;
}

// The chord's tones from the lowest pitch at or above `floor`.
std::vector<int> ChordTones(const SChord& chord, int floor, int count) {
    int root = floor + ((chord.root - floor) % 12 + 12) % 12;
    const int third = chord.minor ? 3 : 4;
    const int steps[3] = {0, third, 7};
    std::vector<int> tones;
    for (int i = 0; static_cast<int>(tones.size()) < count; ++i) tones.push_back(root + steps[i % 3] + 12 * (i / 3));
    return tones;
}

double BarStart(int bar) { return bar * kSecondsPerBar; }
double StepStart(int bar, int step) { return BarStart(bar) + step * kSecondsPerStep; }

// A linear ramp across a section's bars (value at the start of `index`).
float Ramp(float from, float to, int index, int count) {
    return from + (to - from) * static_cast<float>(index) / static_cast<float>(count);
}

class CArranger {
public:
    explicit CArranger(CMix* mix) : m_mix(mix), m_bars(LayOutBars()) {}

    void Arrange() {
        for (int bar = 0; bar < kLastBar; ++bar) {
            Pads(bar);
            Arpeggio(bar);
            Bass(bar);
            Drums(bar);
        }
        Melody(14, kTheme, 0, 0.32f);
        Melody(22, kTurn, 0, 0.32f);
        Melody(32, kTheme, 12, 0.26f);
        Melody(40, kBreakTune, 0, 0.26f);
        Melody(56, kTheme, 0, 0.32f);
        Melody(64, kTheme, 0, 0.30f);
        Melody(64, kTheme, 12, 0.16f);
        Melody(72, {kTheme[0], kTheme[1]}, 0, 0.32f);
        Melody(74, kTurn, 0, 0.32f);
        Melody(76, kOutroTune, 0, 0.24f);
        Risers();
        Crashes();
        FinalChord();
    }

private:
    void Play(double start, const CSamples& samples, const SRoute& route) { m_mix->Place(start, samples, route); }

    void Pads(int bar) {
        const SBar& b = m_bars[static_cast<size_t>(bar)];
        float from = 2200.0f, to = 2200.0f, gain = 0.1f;
        switch (b.section) {
            case ESection::Intro:
                from = Ramp(350, 1400, b.index, 8);
                to = Ramp(350, 1400, b.index + 1, 8);
                gain = 0.2f;
                break;
            case ESection::Build:
                from = Ramp(1400, 3200, b.index, 6);
                to = Ramp(1400, 3200, b.index + 1, 6);
                break;
            case ESection::Main:
                break;
            case ESection::Break:
                from = 1100.0f;
                to = 1700.0f;
                gain = 0.14f;
                break;
            case ESection::Rebuild:
                from = Ramp(700, 3200, b.index, 8);
                to = Ramp(700, 3200, b.index + 1, 8);
                gain = 0.14f;
                break;
            case ESection::Finale:
                from = to = 3000.0f;
                break;
            case ESection::Outro:
                from = Ramp(2000, 500, b.index, 4);
                to = Ramp(2000, 500, b.index + 1, 4);
                gain = 0.12f;
                break;
        }
        for (int tone : ChordTones(b.chord, 50, 4)) {
            Play(BarStart(bar), SynthPad(tone, kSecondsPerBar, -9.0f, from, to), {gain, -0.6f, 0.0f, 0.5f});
            Play(BarStart(bar), SynthPad(tone, kSecondsPerBar, 9.0f, from, to), {gain, 0.6f, 0.0f, 0.5f});
        }
    }

    void Arpeggio(int bar) {
        const SBar& b = m_bars[static_cast<size_t>(bar)];
        static const int kOrder[8] = {0, 2, 1, 3, 2, 4, 3, 5};
        int every = 1;  // in sixteenths
        float velocity = 0.3f, brightness = 0.5f;
        switch (b.section) {
            case ESection::Intro:
                if (b.index < 2) return;
                velocity = Ramp(0.18f, 0.35f, b.index - 2, 6);
                brightness = 0.2f;
                break;
            case ESection::Build:
                brightness = Ramp(0.3f, 0.8f, b.index, 6);
                break;
            case ESection::Main:
                velocity = (bar >= 24 && bar < 32) ? 0.36f : 0.26f;
                break;
            case ESection::Break:
                every = 2;
                velocity = 0.24f;
                brightness = 0.3f;
                break;
            case ESection::Rebuild:
                velocity = Ramp(0.15f, 0.35f, b.index, 8);
                brightness = Ramp(0.2f, 0.9f, b.index, 8);
                break;
            case ESection::Finale:
                velocity = 0.3f;
                brightness = 0.8f;
                break;
            case ESection::Outro:
                every = 2;
                velocity = Ramp(0.25f, 0.08f, b.index, 4);
                brightness = 0.2f;
                break;
        }
        const std::vector<int> tones = ChordTones(b.chord, 62, 6);
        for (int step = 0; step < 16; step += every) {
            const int tone = tones[static_cast<size_t>(kOrder[(step / every) % 8])];
            const float pan = (step / every) % 2 == 0 ? -0.45f : 0.45f;
            Play(StepStart(bar, step), SynthPluck(tone, velocity, brightness), {0.5f, pan, 0.35f, 0.3f});
        }
    }

    void Bass(int bar) {
        const SBar& b = m_bars[static_cast<size_t>(bar)];
        const int root = ChordTones(b.chord, 36, 1)[0];
        const SRoute route{0.75f, 0.0f, 0.0f, 0.0f};
        const bool driving = (b.section == ESection::Build && b.index >= 2) || b.section == ESection::Main ||
                             (b.section == ESection::Rebuild && b.index >= 4) || b.section == ESection::Finale;
        if (driving) {
            static const int kOctave[8] = {0, 0, 12, 0, 0, 0, 12, 0};
            for (int eighth = 0; eighth < 8; ++eighth) {
                Play(StepStart(bar, eighth * 2), SynthBass(root + kOctave[eighth], 0.2, 0.9f), route);
            }
        } else if (b.section == ESection::Break || b.section == ESection::Outro) {
            Play(BarStart(bar), SynthBass(root, kSecondsPerBar * 0.95, 0.8f), route);
        }
    }

    void Drums(int bar) {
        const SBar& b = m_bars[static_cast<size_t>(bar)];
        const bool groove = b.section == ESection::Main || b.section == ESection::Finale;
        const bool kick = groove || b.section == ESection::Build || (b.section == ESection::Rebuild && b.index >= 2);
        // The last half bar before the break falls silent.
        const int kickSteps = bar == 39 ? 8 : 16;
        if (kick) {
            for (int step = 0; step < kickSteps; step += 4) Play(StepStart(bar, step), SynthKick(1.0f), {0.9f});
        }
        if (groove) {
            for (int step = 4; step < kickSteps; step += 8) {
                Play(StepStart(bar, step), SynthSnare(1.0f, Seed(bar, step, 1)), kSnare);
            }
            for (int step = 0; step < kickSteps; ++step) {
                const float velocity = step % 4 == 2 ? 0.45f : (step % 2 == 0 ? 0.25f : 0.16f);
                const bool open = b.section == ESection::Finale && step % 4 == 2;
                Play(StepStart(bar, step), SynthHat(velocity, open, Seed(bar, step, 2)), kHat);
            }
        } else if ((b.section == ESection::Build && b.index >= 2) || (b.section == ESection::Rebuild && b.index >= 2)) {
            for (int step = 2; step < 16; step += 4) {
                Play(StepStart(bar, step), SynthHat(0.4f, true, Seed(bar, step, 2)), kHat);
            }
        }
        // Snare rolls into the drops: eighths, then sixteenths, rising.
        const bool rollEighths = bar == 12 || bar == 54;
        const bool rollSixteenths = bar == 13 || bar == 55;
        if (rollEighths || rollSixteenths) {
            const int every = rollEighths ? 2 : 1;
            for (int step = 0; step < 16; step += every) {
                const float velocity =
                    (rollEighths ? 0.3f : 0.55f) + (rollEighths ? 0.25f : 0.45f) * static_cast<float>(step) / 16.0f;
                Play(StepStart(bar, step), SynthSnare(velocity, Seed(bar, step, 3)), kSnare);
            }
        }
    }

    void Melody(int firstBar, const std::vector<std::string>& bars, int transpose, float velocity) {
        for (size_t i = 0; i < bars.size(); ++i) {
            std::istringstream notes(bars[i]);
            std::string token;
            int step = 0;
            while (notes >> token) {
                const size_t slash = token.find('/');
                if (slash == std::string::npos) throw std::logic_error("bad melody token: " + token);
                const int length = std::stoi(token.substr(slash + 1));
                const std::string pitch = token.substr(0, slash);
                if (pitch != "-") {
                    size_t pos = 0;
                    const int pc = PitchClass(pitch, &pos);
                    const int octave = std::stoi(pitch.substr(pos));
                    const int midi = 12 * (octave + 1) + pc + transpose;
                    const double start = StepStart(firstBar + static_cast<int>(i), step);
                    Play(start, SynthLead(midi, length * kSecondsPerStep * 0.92, velocity), kLead);
                }
                step += length;
            }
            if (step != 16) throw std::logic_error("melody bar does not fill 4/4: " + bars[i]);
        }
    }

    void Risers() {
        for (int bar : {12, 54})
            Play(BarStart(bar), SynthRiser(2.0 * kSecondsPerBar, Seed(bar, 0, 4)), {0.3f, 0.0f, 0.0f, 0.4f});
    }

    void Crashes() {
        for (int bar : {14, 24, 32, 56, 64, 72, kLastBar}) {
            Play(BarStart(bar), SynthCrash(1.0f, Seed(bar, 0, 5)), {0.28f, -0.2f, 0.0f, 0.2f});
        }
    }

    void FinalChord() {
        const double at = BarStart(kLastBar);
        const SChord dMinor{2, true};
        Play(at, SynthKick(1.0f), {0.9f});
        Play(at, SynthBass(ChordTones(dMinor, 36, 1)[0], 2.5, 0.9f), {0.75f});
        for (int tone : ChordTones(dMinor, 50, 4)) {
            Play(at, SynthPad(tone, 1.5, -9.0f, 2500.0f, 800.0f), {0.12f, -0.6f, 0.0f, 0.5f});
            Play(at, SynthPad(tone, 1.5, 9.0f, 2500.0f, 800.0f), {0.12f, 0.6f, 0.0f, 0.5f});
        }
        Play(at, SynthLead(74, 1.8, 0.3f), kLead);
    }

    // Every noise hit gets its own seed, fixed by where it is in the song.
    static uint64_t Seed(int bar, int step, int instrument) {
        return static_cast<uint64_t>(bar) * 1000u + static_cast<uint64_t>(step) * 10u +
               static_cast<uint64_t>(instrument);
    }

    CMix* m_mix;
    std::vector<SBar> m_bars;
};

}  // namespace

CMix RenderSong() {
    CMix mix(kSongSeconds);
    CArranger(&mix).Arrange();
    // A dotted eighth: the echoes fall between the sixteenths.
    mix.RunEcho(3.0 * kSecondsPerStep, 0.45f, 0.5f);
    mix.RunReverb(0.6f);
    mix.Normalise(kPeak);
    return mix;
}
