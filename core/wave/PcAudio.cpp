#include "wave/PcAudio.h"

#include <sndfile.h>

namespace wave {
namespace {

// Depth and kind of a libsndfile sample encoding; bits 0 for compressed encodings.
void DescribeEncoding(int format, PcAudioFormat* out) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        out->bits = 8;
        break;
    case SF_FORMAT_PCM_16:
        out->bits = 16;
        break;
    case SF_FORMAT_PCM_24:
        out->bits = 24;
        break;
    case SF_FORMAT_PCM_32:
        out->bits = 32;
        break;
    case SF_FORMAT_FLOAT:
        out->bits = 32;
        out->isFloat = true;
        break;
    case SF_FORMAT_DOUBLE:
        out->bits = 64;
        out->isFloat = true;
        break;
    default:
        out->bits = 0;
        break;
    }
}

bool FormatOf(const SF_INFO& info, PcAudioFormat* out) {
    if (info.channels <= 0 || info.channels > 0xFFFF || info.samplerate <= 0 || info.frames < 0)
        return false;
    *out = {};
    out->channels = static_cast<uint16_t>(info.channels);
    out->rate = static_cast<uint32_t>(info.samplerate);
    out->frames = static_cast<uint64_t>(info.frames);
    DescribeEncoding(info.format, out);
    return true;
}

} // namespace

bool ReadPcAudioFormat(const std::string& path, PcAudioFormat* format) {
    CPcAudioReader reader;
    if (!reader.Open(path))
        return false;
    *format = reader.Format();
    return true;
}

CPcAudioReader::~CPcAudioReader() {
    Close();
}

bool CPcAudioReader::Open(const std::string& path) {
    Close();
    SF_INFO info{};
    m_file = sf_open(path.c_str(), SFM_READ, &info);
    if (m_file && !FormatOf(info, &m_format))
        Close();
    return m_file != nullptr;
}

void CPcAudioReader::Close() {
    if (m_file)
        sf_close(m_file);
    m_file = nullptr;
    m_format = {};
}

int64_t CPcAudioReader::Read(float* out, int64_t frames) {
    if (!m_file)
        return -1;
    const sf_count_t got = sf_readf_float(m_file, out, frames);
    // A short read is the end of the file, unless the library says it failed.
    if (got < frames && sf_error(m_file) != SF_ERR_NO_ERROR)
        return -1;
    return got;
}

} // namespace wave
