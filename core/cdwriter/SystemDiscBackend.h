#pragma once
// The recorder service the application and the command line use: the libburn recorders first,
// then, when an image folder is given, the disc-image recorder (always the last entry). Built on a general
// combination of backends that lists their recorders one after the other and sends staging and recording to
// the backend of the active recorder.

#include "cdwriter/DiscInterfaces.h"
#include "cdwriter/ImageDiscBackend.h"
#include "cdwriter/LibburnBackend.h"

#include <memory>
#include <string>
#include <vector>

namespace cdwriter {

class CCombinedDiscBackend : public IDiscBackend {
public:
    // The parts must outlive this object; their recorders are listed in this order.
    explicit CCombinedDiscBackend(std::vector<IDiscBackend*> parts);

    HRESULT CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) override;

private:
    std::vector<IDiscBackend*> m_parts;
};

class CSystemDiscBackend : public IDiscBackend {
public:
    struct Options {
        std::string imageFolder; // empty: no disc-image recorder
        std::string imageBaseName = "disc";
        std::vector<std::string> extraDriveAddresses; // e.g. "stdio:/path" for libburn
        // The recorders listed ahead of the disc image in place of libburn's (tests); must outlive this.
        IDiscBackend* recorders = nullptr;
    };

    explicit CSystemDiscBackend(const Options& options);

    HRESULT CreateDiscMaster(std::shared_ptr<IDiscMaster>* master) override;

    bool ListsImageRecorder() const { return m_image != nullptr; }
    // Whether entry `index` of a recorder list of `count` entries, named `name`, is the disc image.
    bool IsImageRecorder(int index, int count, const std::string& name) const;
    // Where the disc-image recorder writes the images of disc masters made from now on; false when
    // there is no disc-image recorder.
    bool SetImagePath(const std::string& folder, const std::string& baseName);

private:
    CLibburnBackend m_libburn;
    std::unique_ptr<CImageDiscBackend> m_image;
    std::unique_ptr<CCombinedDiscBackend> m_combined;
};

} // namespace cdwriter
