// Distance fields and noise the pictures are painted from.
#pragma once

#include <cstdint>

// Distance from point p to the segment a-b.
float SegmentDistance(float px, float py, float ax, float ay, float bx, float by);
// Distance from p (relative to the centre) to the strokes of a six-armed
// snowflake of the given radius.
float SnowflakeDistance(float px, float py, float radius);
// Smooth value noise in 0..1 with unit lattice spacing; seed picks the field.
float ValueNoise(float x, float y, uint32_t seed);
// Octaves of value noise, each twice the frequency and half the weight.
float FractalNoise(float x, float y, int octaves, uint32_t seed);
