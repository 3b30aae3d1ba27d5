// The song's instruments. Each renders one note or hit as mono samples at
// kSampleRate, starting at its attack and ending when it has died away.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kSampleRate = 44100;

using CSamples = std::vector<float>;

// Frequency of a MIDI note number (69 = A 440 Hz).
double NoteFrequency(double midiNote);

CSamples SynthKick(float velocity);
CSamples SynthSnare(float velocity, uint64_t seed);
CSamples SynthHat(float velocity, bool open, uint64_t seed);
CSamples SynthCrash(float velocity, uint64_t seed);
// Saw and sub sine through a plucked low-pass: the bass line.
CSamples SynthBass(int midiNote, double seconds, float velocity);
// One detuned pair of saws with a slow swell; the filter opens from
// cutoffStartHz to cutoffEndHz across the note.
CSamples SynthPad(int midiNote, double seconds, float detuneCents, float cutoffStartHz, float cutoffEndHz);
// A short bell-like pluck for arpeggios; brightness 0..1.
CSamples SynthPluck(int midiNote, float velocity, float brightness);
// Square-saw lead with delayed vibrato.
CSamples SynthLead(int midiNote, double seconds, float velocity);
// Noise swept upward through a band-pass: the build-ups.
CSamples SynthRiser(double seconds, uint64_t seed);
