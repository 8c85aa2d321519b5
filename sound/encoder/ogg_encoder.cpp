#include "sound/encoder/ogg_encoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

bool ogg_encode(const float *interleaved, size_t frames, int channels, int rate, float quality, uint32_t serial,
                const char *encoder_name, std::vector<uint8_t> &out)
{
    out.clear();
    if (channels < 1 || rate < 1) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", encoder_name ? encoder_name : "vorn");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, int(serial & 0x7fffffff));
    ogg_packet header, header_comm, header_code;
    vorbis_analysis_headerout(&vd, &vc, &header, &header_comm, &header_code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &header_comm);
    ogg_stream_packetin(&os, &header_code);
    ogg_page og;
    auto put_page = [&]() {
        out.insert(out.end(), og.header, og.header + og.header_len);
        out.insert(out.end(), og.body, og.body + og.body_len);
    };
    while (ogg_stream_flush(&os, &og)) put_page();

    const size_t CHUNK = 4096;
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        size_t take = std::min(CHUNK, frames - done);
        if (take > 0) {
            float **buf = vorbis_analysis_buffer(&vd, int(take));
            for (size_t i = 0; i < take; i++)
                for (int c = 0; c < channels; c++)
                    buf[c][i] = std::clamp(interleaved[(done + i) * size_t(channels) + size_t(c)], -1.0f, 1.0f);
            vorbis_analysis_wrote(&vd, int(take));
            done += take;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) {
                    put_page();
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (take == 0 && !eos) {
            while (ogg_stream_flush(&os, &og)) put_page();
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return !out.empty();
}
