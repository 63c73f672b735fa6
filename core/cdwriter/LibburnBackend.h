#pragma once
// Real CD recorders through libburn. Staged audio goes to a temporary stash file; recording writes
// the disc at once (SAO), never simulated, with two seconds of silence before tracks 2..n, no
// further sessions, and ejects afterwards. Progress is polled from libburn and handed to the
// registered sinks; the cancel question is asked until the writing starts.

#include "cdwriter/DiscInterfaces.h"

#include <string>
#include <vector>

namespace cdwriter {

class CLibburnBackend : public IDiscBackend {
public:
    // Staging stops where no CD can hold more (addresses end at 99:59:74, two seconds of them before
    // the first track); the medium itself is judged by the recorder when the disc is written.
    static constexpr uint32_t kMaxDiscBlocks = kBlocksPerSecond * 60 * 100 - 2 * kBlocksPerSecond;

    // `extraAddresses` are drives libburn does not find by scanning (e.g. "stdio:/path/disc.iso"),
    // listed after the scanned ones.
    explicit CLibburnBackend(std::vector<std::string> extraAddresses = {});

    HRESULT CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) override;

private:
    std::vector<std::string> m_extraAddresses;
};

} // namespace cdwriter
