#include "data_test_util.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>

bool test_decode_ogg(const std::string &path, std::vector<float> &samples, int *channels, int *rate)
{
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return false;
    vorbis_info *vi = ov_info(&vf, -1);
    *channels = vi->channels;
    *rate = int(vi->rate);
    samples.clear();
    int section = 0;
    for (;;) {
        float **pcm;
        long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n < 0) {
            ov_clear(&vf);
            return false;
        }
        if (n == 0) break;
        for (long i = 0; i < n; i++)
            for (int c = 0; c < *channels; c++) samples.push_back(pcm[c][i]);
    }
    ov_clear(&vf);
    return true;
}

double test_loop_seam(const std::vector<float> &samples, int channels)
{
    size_t frames = samples.size() / channels;
    std::vector<float> steps;
    steps.reserve(samples.size());
    for (size_t i = 1; i < frames; i++)
        for (int c = 0; c < channels; c++)
            steps.push_back(std::fabs(samples[i * channels + c] - samples[(i - 1) * channels + c]));
    size_t k = size_t(steps.size() * 0.999);
    std::nth_element(steps.begin(), steps.begin() + k, steps.end());
    double typical = std::max(1e-4f, steps[k]);
    double seam = 0;
    for (int c = 0; c < channels; c++)
        seam = std::max(seam, double(std::fabs(samples[c] - samples[(frames - 1) * channels + c])));
    return seam / typical;
}
