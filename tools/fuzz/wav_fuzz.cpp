// libFuzzer target: any byte string as a WAV file through the sound
// loader from memory, decoded whole. Never a crash, leak or read out of
// bounds; a loaded sound holds whole frames.

#include <cstdint>
#include <cstdlib>

#include "sound/auren_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auren_pcm_t pcm;
    if (__load_wav_memory("fuzz.wav", data, size, &pcm, true)) {
        if (!pcm.data || pcm.channels < 1 || pcm.frequency < 1) abort();
        __auren_pcm_free(&pcm);
    }
    return 0;
}
