#pragma once
// Shared helpers of the data tests: decoding what the generator wrote.

#include <cstdint>
#include <string>
#include <vector>

// Decodes a whole Ogg Vorbis file to interleaved floats; false when it cannot be read.
bool test_decode_ogg(const std::string &path, std::vector<float> &samples, int *channels, int *rate);
// The discontinuity at a loop's seam, in units of the largest ordinary
// sample-to-sample step of the sound (its 99.9th percentile): below 1 the
// jump from the last sample to the first is no larger than the sound's own steps.
double test_loop_seam(const std::vector<float> &samples, int channels);
