#pragma once
// The one recorder service of the window: the CD writer page, its burn job and the Drive/Medium
// dialog all take their backend from here. The system one lists the machine's recorders and then the
// disc-image recorder; tests install another.

#include "cdwriter/DiscInterfaces.h"

#include <string>

namespace gui {

cdwriter::IDiscBackend* AppDiscBackend();
// Installs a service (null restores the system one) and returns the one it replaces.
cdwriter::IDiscBackend* SetAppDiscBackend(cdwriter::IDiscBackend* backend);

// Whether entry `index` of the recorder list (of `count` entries) of `backend` is the disc-image
// recorder, and where that recorder writes its next image.
bool IsImageRecorder(cdwriter::IDiscBackend* backend, int index, int count, const std::string& name);
bool SetImagePath(cdwriter::IDiscBackend* backend, const std::string& folder, const std::string& baseName);

} // namespace gui
