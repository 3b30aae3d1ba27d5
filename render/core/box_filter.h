// A picture filtered down by a whole factor: each pixel the rounded mean of
// a factor x factor block, channel by channel, in integers, so the same
// bytes on every machine, however it is split into rows.
#pragma once

#include <cstdint>

// Rows [rowBegin, rowEnd) of the destWidth-wide result, from a source
// factor times larger each way. Pitches in bytes; 4 bytes a pixel.
void BoxFilterRows(const uint8_t* source, int sourcePitch, int destWidth, int rowBegin, int rowEnd, int factor,
                   uint8_t* dest, int destPitch);
