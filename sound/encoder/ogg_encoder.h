#pragma once
// Ogg Vorbis encoding of an in-memory signal, for the programs that make
// sounds (the data generators, the tests' signals). The game itself only
// decodes.

#include <cstddef>
#include <cstdint>
#include <vector>

// Encodes `frames` frames of interleaved samples in -1..1 (clamped) at the
// given Vorbis quality (-0.1 .. 1.0). The stream serial and the ENCODER
// comment are the caller's, so the same input always gives the same bytes.
// False (and `out` empty) when the encoder refuses the format.
bool ogg_encode(const float *interleaved, size_t frames, int channels, int rate, float quality, uint32_t serial,
                const char *encoder_name, std::vector<uint8_t> &out);
