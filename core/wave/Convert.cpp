#include "wave/Convert.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace wave {
namespace {

constexpr int64_t kBlockFrames = 16384;
constexpr float kFullScale = 32768.0f;

// Within the 16-bit range; what is not a number becomes silence.
inline float Clip16(float v) {
    if (v >= -32768.0f && v <= 32767.0f)
        return v;
    return v > 0.0f ? 32767.0f : (v < 0.0f ? -32768.0f : 0.0f);
}

// libsoxr at its high-quality setting, on interleaved float frames.
class CRateChanger {
public:
    CRateChanger() = default;
    ~CRateChanger() {
        if (m_soxr)
            soxr_delete(m_soxr);
    }
    CRateChanger(const CRateChanger&) = delete;
    CRateChanger& operator=(const CRateChanger&) = delete;

    bool Open(uint32_t from, uint32_t to, unsigned channels) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        m_soxr = soxr_create(from, to, channels, &error, &io, &quality, nullptr);
        return m_soxr != nullptr && error == nullptr;
    }
    // Takes frames of `in` (null: the input has ended, and what is still held comes out) and puts at
    // most `room` frames into `out`.
    bool Process(const float* in, size_t frames, size_t* taken, float* out, size_t room, size_t* made) {
        *taken = 0;
        *made = 0;
        return soxr_process(m_soxr, in, in ? frames : 0, in ? taken : nullptr, out, room, made) == nullptr;
    }

private:
    soxr_t m_soxr = nullptr;
};

// Takes the converted frames, reduces them to 16 bits and writes each channel to its output, up to
// the planned length.
class CSink {
public:
    CSink(const ConvertSpec& spec, const std::vector<CWaveFile*>& outputs, uint64_t frames,
          const platform::CancelFlag* cancel, platform::IMessageTarget* notify)
        : m_outputs(outputs), m_frames(frames), m_dither(spec.dither), m_cancel(cancel), m_notify(notify) {
        for (size_t ch = 0; ch < outputs.size(); ++ch)
            m_dithers.emplace_back(spec.seed + static_cast<uint32_t>(ch) * 0x10001u);
    }

    // `frames` frames of one float per output, interleaved.
    ConvertStatus Put(const float* block, size_t frames) {
        frames = static_cast<size_t>(std::min<uint64_t>(frames, m_frames - m_written));
        if (frames == 0)
            return ConvertStatus::Done;
        m_samples.resize(frames);
        const size_t channels = m_outputs.size();
        for (size_t ch = 0; ch < channels; ++ch) {
            if (m_dither)
                m_dithers[ch].Quantize(block + ch, channels, m_samples.data(), frames);
            else
                QuantizeExact(block + ch, channels, m_samples.data(), frames);
            if (!m_outputs[ch]->WriteData(m_samples.data(), static_cast<uint32_t>(frames * 2),
                                          static_cast<uint32_t>(m_written * 2))) {
                m_failed = ch;
                return ConvertStatus::WriteFailed;
            }
        }
        m_written += frames;
        if (platform::IsCancelled(m_cancel))
            return ConvertStatus::Cancelled;
        const auto bytes = static_cast<uintptr_t>(m_written * 2 * channels);
        // Positions only say how far the count has come: a later one supersedes them.
        platform::Deliver(m_notify, false, WM_TRANSFER_POS, bytes, 0, platform::Notice::Value);
        platform::Deliver(m_notify, false, WM_TRANSFER_TOTAL, bytes, 0, platform::Notice::Value);
        return ConvertStatus::Done;
    }

    // A source that gives fewer frames than its length promised is made up with silence.
    ConvertStatus Finish() {
        const std::vector<float> silence(static_cast<size_t>(kBlockFrames) * m_outputs.size(), 0.0f);
        ConvertStatus status = ConvertStatus::Done;
        while (status == ConvertStatus::Done && m_written < m_frames)
            status = Put(silence.data(), kBlockFrames);
        return status;
    }

    uint64_t Bytes() const { return m_frames * 2 * m_outputs.size(); }
    size_t Failed() const { return m_failed; }

private:
    const std::vector<CWaveFile*>& m_outputs;
    const uint64_t m_frames;
    const bool m_dither;
    const platform::CancelFlag* m_cancel;
    platform::IMessageTarget* m_notify;
    std::vector<CTpdfDither> m_dithers;
    std::vector<int16_t> m_samples;
    uint64_t m_written = 0;
    size_t m_failed = 0;
};

// Runs `frames` frames (none: the end of the input) through the rate changer into the sink.
ConvertStatus Resample(CRateChanger& rate, const float* in, size_t frames, size_t channels,
                       std::vector<float>& out, CSink& sink) {
    const size_t room = out.size() / channels;
    size_t done = 0;
    for (;;) {
        size_t taken = 0, made = 0;
        const float* from = frames == 0 ? nullptr : in + done * channels;
        if (!rate.Process(from, frames - done, &taken, out.data(), room, &made))
            return ConvertStatus::ReadFailed;
        done += taken;
        if (const ConvertStatus status = sink.Put(out.data(), made); status != ConvertStatus::Done)
            return status;
        // Fed: once all is taken and the output had room to spare. Drained: once nothing comes out.
        if (frames == 0 ? made == 0 : done >= frames && made < room)
            return ConvertStatus::Done;
    }
}

} // namespace

uint64_t ConvertedFrames(uint64_t frames, uint32_t from, uint32_t to) {
    if (from == 0)
        return 0;
    if (from == to)
        return frames;
    // frames * to / from rounded half up, without overflowing for any length a file can have.
    const uint64_t whole = frames / from, rest = frames % from;
    return whole * to + (rest * to + from / 2) / from;
}

CTpdfDither::CTpdfDither(uint32_t seed)
    : m_state(0x9E3779B97F4A7C15ull ^ (uint64_t{seed} * 0xD1B54A32D192ED03ull)) {
    if (m_state == 0)
        m_state = 1;
}

void CTpdfDither::Quantize(const float* in, size_t stride, int16_t* out, size_t n) {
    uint64_t x = m_state;
    for (size_t i = 0; i < n; ++i) {
        // xorshift64*: the two halves of one draw are two uniform values; their difference is
        // triangular over -1 .. +1 step.
        x ^= x >> 12;
        x ^= x << 25;
        x ^= x >> 27;
        const uint64_t r = x * 0x2545F4914F6CDD1Dull;
        const auto noise =
            static_cast<float>(static_cast<int64_t>(r >> 32) - static_cast<int64_t>(r & 0xFFFFFFFFu)) *
            0x1p-32f;
        out[i] = static_cast<int16_t>(std::lrint(Clip16(in[i * stride] * kFullScale + noise)));
    }
    m_state = x;
}

void QuantizeExact(const float* in, size_t stride, int16_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<int16_t>(std::lrint(Clip16(in[i * stride] * kFullScale)));
}

namespace {

// Reads the whole source block by block into the sink, mixed and changed in rate on the way.
ConvertStatus Pump(CPcAudioReader& source, bool mix, size_t channels, CRateChanger* rate, CSink& sink,
                   const platform::CancelFlag* cancel) {
    const size_t inChannels = source.Format().channels;
    std::vector<float> in(static_cast<size_t>(kBlockFrames) * inChannels);
    std::vector<float> out(rate ? static_cast<size_t>(kBlockFrames) * channels : 0);
    uint64_t read = 0;
    for (;;) {
        if (platform::IsCancelled(cancel))
            return ConvertStatus::Cancelled;
        const int64_t got = source.Read(in.data(), kBlockFrames);
        if (got < 0)
            return ConvertStatus::ReadFailed;
        read += static_cast<uint64_t>(got);
        const auto n = static_cast<size_t>(got);
        if (mix) {
            for (size_t i = 0; i < n; ++i)
                in[i] = (in[2 * i] + in[2 * i + 1]) * kMixGain;
        }
        const ConvertStatus status =
            rate ? Resample(*rate, in.data(), n, channels, out, sink) : sink.Put(in.data(), n);
        if (status != ConvertStatus::Done)
            return status;
        if (got == 0)
            break;
    }
    // Fewer frames than the file's length promised: it was cut short, or changed while it was read.
    return read == source.Format().frames ? sink.Finish() : ConvertStatus::ReadFailed;
}

} // namespace

ConvertStatus ConvertAudio(CPcAudioReader& source, const ConvertSpec& spec,
                           const std::vector<CWaveFile*>& outputs, const platform::CancelFlag* cancel,
                           platform::IMessageTarget* notify, size_t* failedOutput) {
    const PcAudioFormat format = source.Format();
    const bool mix = spec.mix && format.channels == 2;
    const size_t channels = mix ? 1 : format.channels;
    // The source is not the one the outputs were made for (it changed since it was looked at).
    if (!source.IsOpen() || channels != outputs.size() || format.rate == 0 || spec.rate == 0)
        return ConvertStatus::ReadFailed;
    const uint64_t frames = ConvertedFrames(format.frames, format.rate, spec.rate);
    if (frames > (0xFFFFFFFFull - kAudioOffset) / 2)
        return ConvertStatus::WriteFailed;
    CSink sink(spec, outputs, frames, cancel, notify);
    platform::Deliver(notify, false, WM_TRANSFER_RANGE, static_cast<uintptr_t>(sink.Bytes()), 0,
                      platform::Notice::Event);
    CRateChanger rate;
    const bool resample = format.rate != spec.rate;
    if (resample && !rate.Open(format.rate, spec.rate, static_cast<unsigned>(channels)))
        return ConvertStatus::ReadFailed;
    const ConvertStatus status = Pump(source, mix, channels, resample ? &rate : nullptr, sink, cancel);
    if (status == ConvertStatus::WriteFailed && failedOutput)
        *failedOutput = sink.Failed();
    return status;
}

} // namespace wave
