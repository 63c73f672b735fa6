#include "Harness.h"

#include "TestDiscBackend.h"
#include "cdwriter/DiscMaster.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace fuzzing {

Outcome ExerciseStaging(const uint8_t* data, size_t size, const std::string& workDir) {
    const std::string path = platform::JoinPath(workDir, "track.wav");
    {
        platform::File file;
        if (!file.Open(path, platform::Access::ReadWrite, platform::Disposition::CreateAlways))
            return Outcome::Refused;
        const bool written = size == 0 || file.Write(data, size) == static_cast<int64_t>(size);
        if (!file.Close() || !written)
            return Outcome::Refused;
    }
    cdwriter::CTestDiscBackend backend;
    backend.SetRecorders({cdwriter::TestRecorder{}});
    cdwriter::CDiscMaster master(&backend);
    if (!master.InitDiscMaster())
        return Outcome::Refused;
    const bool staged = master.AddWaveTrack(path) != 0;
    master.GetErrorText();
    master.ReleaseDiscMaster();
    if (!staged)
        return Outcome::Refused;
    // A staged track is closed and holds whole sectors, exactly as many as were announced.
    const auto tracks = backend.StagedTracks();
    if (tracks.size() != 1 || !tracks[0].closed ||
        tracks[0].data.size() != static_cast<size_t>(tracks[0].announcedBlocks) * 2352)
        return Outcome::Broken;
    return Outcome::Accepted;
}

} // namespace fuzzing
