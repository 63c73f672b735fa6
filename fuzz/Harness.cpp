#include "Harness.h"

#include "adl/AdlFile.h"
#include "adl/TimeCode.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "wave/WaveFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace fuzzing {

namespace {

bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    platform::File file;
    if (!file.Open(path, platform::Access::ReadWrite, platform::Disposition::CreateAlways))
        return false;
    const bool written = size == 0 || file.Write(data, size) == static_cast<int64_t>(size);
    return file.Close() && written;
}

// Every query a caller may make after an open, over the whole lists and just past them.
void QueryAll(const adl::CAdlFile& adl) {
    volatile size_t sink = 0;
    char text[adl::CTimeCode::kTextBufferSize];
    auto touch = [&](const adl::CTimeCode& tc) {
        tc.Format(text);
        sink = sink + std::strlen(text) + tc.GetSamples();
    };
    sink = sink + static_cast<size_t>(adl.GetSampleRateCode()) + static_cast<size_t>(adl.GetFrameRateCode()) +
           adl.GetAdlLevel() + adl.GetSort();
    sink = sink + adl.GetProjectTitle().size() + adl.GetProjectOriginator().size() +
           adl.GetProjectCreateDate().size() + adl.GetProjectNotes().size() +
           adl.GetProjectClientData().size() + adl.GetSequenceTitle().size() +
           adl.GetSequenceDescription().size();
    touch(adl.GetDestStart());
    const adl::AdlTempoMap tempo = adl.GetTempoMap();
    sink = sink + std::strlen(tempo.m_signatureBar) + std::strlen(tempo.m_tempoValue);

    std::string name;
    for (int i = -1; i <= adl.GetTrackCount(); ++i) {
        adl::AdlTrack track;
        if (adl.GetTrack(i, &track))
            sink = sink + std::strlen(track.m_name) + adl.GetTrackName(track.m_number, &name);
    }
    for (int i = -1; i <= adl.GetLocateCount(); ++i) {
        adl::AdlLocate locate;
        if (adl.GetLocate(i, &locate)) {
            sink = sink + std::strlen(locate.m_name) + adl.GetLocateName(locate.m_number, &name);
            touch(locate.m_time);
        }
    }
    for (uint16_t number = 0; number <= 3; ++number)
        touch(adl.GetLocateTime(number));
    for (int i = -1; i <= adl.GetEventCount(); ++i) {
        adl::AdlEvent event;
        sink = sink + adl.GetEvent(i, &event) + adl.GetEventEntryNumber(i) +
               static_cast<size_t>(adl.GetEventEditType(i)) + static_cast<size_t>(adl.GetEventSourceKind(i)) +
               static_cast<size_t>(adl.GetEventFlag(i)) + adl.GetEventSourceChannel(i) +
               adl.GetEventDestChannel(i) + adl.GetEventSourceName(i).size();
        touch(adl.GetEventSourceIn(i));
        touch(adl.GetEventDestIn(i));
        touch(adl.GetEventDestOut(i));
    }
}

struct WaveFacts {
    bool riff = false;
    bool hasFormat = false;
    uint16_t channels = 0, bits = 0, tag = 0;
    uint32_t rate = 0;
    uint32_t dataSize = 0;
    // Laid out as this program writes files: the header claims the file's length and the "data"
    // header sits right before offset 32768.
    bool sound = false;
};

// Everything the queries tell about a file (each of them run, even where one answer implies another).
WaveFacts ReadFacts(const std::string& path) {
    WaveFacts f;
    wave::CWaveFile file;
    if (!file.Open(path, 1))
        return f;
    f.hasFormat = file.GetFormat(&f.channels, &f.bits, &f.rate) && file.GetFormatTag(&f.tag);
    const uint64_t riffSize = file.GetRiffSize();
    f.riff = riffSize != 0;
    for (int kind = 0; kind <= 4; ++kind)
        file.GetChunkSize(kind);
    f.dataSize = file.GetChunkSize(wave::CWaveFile::CHUNK_DATA);
    file.Close();

    platform::File raw;
    uint8_t header[8] = {};
    if (raw.Open(path, platform::Access::Read, platform::Disposition::OpenExisting) &&
        raw.Seek(wave::kAudioOffset - 8, platform::Whence::Begin) >= 0 && raw.Read(header, 8) == 8) {
        const uint32_t size = static_cast<uint32_t>(header[4]) | static_cast<uint32_t>(header[5]) << 8 |
                              static_cast<uint32_t>(header[6]) << 16 | static_cast<uint32_t>(header[7]) << 24;
        f.sound = std::memcmp(header, "data", 4) == 0 && size == f.dataSize &&
                  static_cast<int64_t>(riffSize) == raw.Size();
    }
    return f;
}

uint32_t Fnv1a(const uint8_t* data, size_t size) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return h;
}

} // namespace

Outcome ExerciseAdl(const uint8_t* data, size_t size, const std::string& workDir) {
    const std::string path = platform::JoinPath(workDir, "input.adl");
    if (!WriteInput(path, data, size))
        return Outcome::Refused;
    bool opened[2] = {};
    for (int readOnly = 1; readOnly >= 0; --readOnly) {
        adl::CAdlFile adl;
        opened[readOnly] = adl.Open(path, readOnly != 0);
        if (opened[readOnly]) {
            QueryAll(adl);
            adl.Close();
        }
    }
    // The access asked for must not change what a file reads as.
    if (opened[0] != opened[1])
        return Outcome::Broken;
    return opened[1] ? Outcome::Accepted : Outcome::Refused;
}

namespace {

// The text form of value must read back as the same position with the same kinds. A 29.97 fps
// position between two samples (remainder 1000 of 1001) reads back as the next one: a known rounding.
bool FormatsBack(const adl::CTimeCode& value) {
    char formatted[adl::CTimeCode::kTextBufferSize];
    value.Format(formatted);
    if (formatted[0] == '\0')
        return true; // these kinds have no text form
    if (std::strlen(formatted) != adl::CTimeCode::kTextLength)
        return false;
    const bool ntsc = value.GetFrameKind() == adl::CTimeCode::FPS_2997 ||
                      value.GetFrameKind() == adl::CTimeCode::FPS_2997_DROP;
    const uint32_t expected = value.GetSamples() + (ntsc && value.GetSamples() % 1001 == 1000 ? 1 : 0);
    adl::CTimeCode again;
    return again.Parse(formatted) && again.GetSamples() == expected &&
           again.GetFrameKind() == value.GetFrameKind() && again.GetRateKind() == value.GetRateKind();
}

} // namespace

Outcome CheckTimeCodeRoundTrip(const uint8_t* data, size_t size) {
    if (size == 0)
        return Outcome::Refused;
    if ((data[0] & 0x80) != 0) {
        // Any position and kinds, as the export formats computed positions.
        if (size < 7)
            return Outcome::Refused;
        adl::CTimeCode value;
        const uint32_t samples = static_cast<uint32_t>(data[1]) | static_cast<uint32_t>(data[2]) << 8 |
                                 static_cast<uint32_t>(data[3]) << 16 | static_cast<uint32_t>(data[4]) << 24;
        value.Set(samples, static_cast<uint8_t>(data[5] % 7), static_cast<uint8_t>(data[6] % 5));
        return FormatsBack(value) ? Outcome::Accepted : Outcome::Broken;
    }
    char text[64] = {};
    std::memcpy(text, data + 1, std::min(size - 1, sizeof text - 1));
    adl::CTimeCode parsed;
    parsed.SetRateKind(data[0] % 5); // 0 keeps the default kind
    if (!parsed.Parse(text))
        return Outcome::Refused;
    return FormatsBack(parsed) ? Outcome::Accepted : Outcome::Broken;
}

Outcome ExerciseWave(const uint8_t* data, size_t size, const std::string& workDir) {
    const std::string source = platform::JoinPath(workDir, "input.wav");
    const std::string target = platform::JoinPath(workDir, "copy.wav");
    if (!WriteInput(source, data, size))
        return Outcome::Refused;

    WaveFacts in = ReadFacts(source);
    // Offsets and a second count come from the input so the fuzzer can steer them; counts stay small
    // because a claimed size can be far larger than the file.
    const uint32_t h = Fnv1a(data, size);
    const uint32_t counts[2] = {std::min<uint32_t>(in.dataSize, 1u << 16), (h >> 20) & 0x3FFF};
    const uint32_t sourceOffsets[2] = {0, h & 0x3FFF};
    const uint32_t destOffsets[2] = {0, (h >> 6) & 0x3FFF};
    for (int i = 0; i < 2; ++i) {
        platform::DeleteFile(target);
        wave::CWaveFile out;
        if (!out.Create(target, 1, 16, 44100))
            continue;
        const bool copied = out.CopyFrom(source, counts[i], sourceOffsets[i], destOffsets[i]) != 0;
        if (out.Close() && copied) {
            // A successful copy into a new file: its audio is exactly what was asked for, in place.
            const WaveFacts made = ReadFacts(target);
            if (!made.sound || made.dataSize != destOffsets[i] + counts[i])
                return Outcome::Broken;
        }
    }
    platform::DeleteFile(target);
    {
        wave::CWaveFile out;
        if (out.Create(target, 2, 16, 44100)) {
            const bool imported = out.ImportFile(source) != 0;
            if (out.Close() && imported) {
                const WaveFacts made = ReadFacts(target);
                if (!made.sound || made.dataSize != in.dataSize ||
                    (in.hasFormat && (made.channels != in.channels || made.bits != in.bits ||
                                      made.rate != in.rate || made.tag != in.tag)))
                    return Outcome::Broken;
            }
        }
    }
    platform::DeleteFile(target);
    return in.riff ? Outcome::Accepted : Outcome::Refused;
}

std::string ProcessWorkDir() {
    static std::string dir;
    if (!dir.empty())
        return dir;
    const char* base = platform::IsDirectory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/pelmora-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    dir = pattern;
    std::atexit([] {
        for (const char* name : {"input.adl", "input.wav", "copy.wav", "track.wav"})
            platform::DeleteFile(platform::JoinPath(dir, name));
        platform::RemoveDirectory(dir);
    });
    return dir;
}

} // namespace fuzzing
