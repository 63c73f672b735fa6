#pragma once
// A recorder that "burns" audio CDs into a CUE/BIN image: one .bin of little-endian CD-DA, each
// track padded to whole sectors, two seconds of silence before tracks 2..n, and a .cue sheet
// naming the tracks. The files appear under their names only when the disc is complete; a cancel or
// failure leaves nothing behind. Its medium is always a blank 80-minute CD-R. A base name the cue
// sheet cannot hold is refused when the first track is staged.

#include "cdwriter/DiscInterfaces.h"

#include <mutex>
#include <string>

namespace cdwriter {

class CImageDiscBackend : public IDiscBackend {
public:
    static constexpr uint32_t kDiscBlocks = kBlocksPerSecond * 60 * 80;

    // The recorder as the recorder list names it.
    static constexpr const char* kRecorderName = "Pelmora, Disc Image, 1.00";

    // The image is written as folder/baseName.bin and folder/baseName.cue.
    CImageDiscBackend(std::string folder, std::string baseName);

    // Disc masters made from now on write their image there instead.
    void SetDestination(const std::string& folder, const std::string& baseName);

    HRESULT CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) override;

    // A plain file name the cue sheet can quote: not empty, no "/", no double quote, no control character.
    static bool IsUsableBaseName(const std::string& baseName);

    std::string BinPath() const;
    std::string CuePath() const;

private:
    mutable std::mutex m_mutex; // the destination may be told while another thread makes a master
    std::string m_folder;
    std::string m_baseName;
};

} // namespace cdwriter
