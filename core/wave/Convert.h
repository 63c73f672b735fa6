#pragma once
// Turning a PC audio file into this program's mono 16-bit files at a song's rate, streamed in blocks:
// the rate changed by libsoxr at its high-quality setting, two channels kept apart (one file each) or
// mixed at -3 dB each, and the result reduced to 16 bits with TPDF dither. The files are written
// through CWaveFile, so they are laid out like every other file the program writes.

#include "platform/MessageTarget.h"
#include "platform/Progress.h"
#include "wave/PcAudio.h"
#include "wave/WaveFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wave {

// Frames a file of `frames` frames at `from` Hz has at `to` Hz: the rate changer's own count (the exact
// length rounded to the nearest frame, halves up).
uint64_t ConvertedFrames(uint64_t frames, uint32_t from, uint32_t to);

// Each channel of a two-channel mix is lowered by 3 dB.
constexpr float kMixGain = 0.70710678f;

// Reduction of full-scale samples (+-1.0) to 16 bits: a triangular noise of +-1 step is added before
// rounding, so that what is below one step is kept as noise rather than cut off; values beyond full
// scale are clipped. The noise comes from a generator started at `seed`: one seed, one result.
class CTpdfDither {
public:
    explicit CTpdfDither(uint32_t seed);
    // n samples, taken `stride` floats apart.
    void Quantize(const float* in, size_t stride, int16_t* out, size_t n);

private:
    uint64_t m_state;
};

// The same reduction for samples that are exact in 16 bits (a 16-bit or 8-bit source, neither mixed
// nor at another rate): rounded and clipped, nothing added.
void QuantizeExact(const float* in, size_t stride, int16_t* out, size_t n);

struct ConvertSpec {
    uint32_t rate = 0;  // the rate of the outputs
    bool mix = false;   // a two-channel source goes into one output
    bool dither = true; // false only where every output sample is exact in 16 bits
    uint32_t seed = 1;  // the dither's start
};

enum class ConvertStatus { Done, Cancelled, ReadFailed, WriteFailed };

// Writes `source` converted into `outputs`, each created empty (mono, 16 bits, spec.rate) and without a
// notify target of its own: one output per source channel, or one for a mono source or a mix. Every
// output gets ConvertedFrames of the source's frames. Sends WM_TRANSFER_RANGE with the bytes all
// outputs will hold, then after every block WM_TRANSFER_POS and WM_TRANSFER_TOTAL with the bytes
// written so far. Reads the cancel flag before every block. After WriteFailed, *failedOutput (when
// given) is the output a write failed on.
ConvertStatus ConvertAudio(CPcAudioReader& source, const ConvertSpec& spec,
                           const std::vector<CWaveFile*>& outputs, const platform::CancelFlag* cancel,
                           platform::IMessageTarget* notify, size_t* failedOutput = nullptr);

} // namespace wave
