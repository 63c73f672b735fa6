#include "Harness.h"

#include "cdwriter/DiscMaster.h"
#include "cdwriter/TestDiscBackend.h"
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
    return staged ? Outcome::Accepted : Outcome::Refused;
}

} // namespace fuzzing
