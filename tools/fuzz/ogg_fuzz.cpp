// libFuzzer target: any byte string as an Ogg Vorbis file through the sound
// loader from memory, decoded whole. Never a crash, leak or read out of
// bounds; a loaded sound holds whole frames.
//
// The loader refuses pages whose checksum is wrong, so the target first
// makes every page's checksum right: the mutations then reach the decoder.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <ogg/ogg.h>

#include "sound/auren_internal.h"

static void __fix_checksums(std::vector<uint8_t> &b)
{
    size_t at = 0;
    while (at + 27 <= b.size()) {
        if (b[at] != 'O' || b[at + 1] != 'g' || b[at + 2] != 'g' || b[at + 3] != 'S') {
            at++;
            continue;
        }
        size_t segments = b[at + 26], header = 27 + segments;
        if (at + header > b.size()) return;
        size_t body = 0;
        for (size_t i = 0; i < segments; i++) body += b[at + 27 + i];
        if (at + header + body > b.size()) return;
        ogg_page page;
        page.header = b.data() + at;
        page.header_len = long(header);
        page.body = b.data() + at + header;
        page.body_len = long(body);
        ogg_page_checksum_set(&page);
        at += header + body;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    __fix_checksums(bytes);
    auren_pcm_t pcm;
    if (__load_ogg_memory("fuzz.ogg", bytes.data(), bytes.size(), &pcm, true)) {
        if (!pcm.data || pcm.channels < 1 || pcm.frequency < 1) abort();
        __auren_pcm_free(&pcm);
    }
    return 0;
}
