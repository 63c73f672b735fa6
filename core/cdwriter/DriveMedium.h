#pragma once
// What the Drive/Medium dialog shows of the active recorder: its name and type, the type and state of
// its medium, and whether Erase is offered (a rewritable disc that is not blank). The dialog writes
// each field that was read; those after a failed query keep what they showed.

#include <optional>
#include <string>

namespace cdwriter {

class CDiscMaster;

struct DriveMediumFields {
    std::optional<std::string> driveName, driveType, mediumType, mediumState;
    bool eraseEnabled = false;
    bool ok = false;
    std::string failureText; // when !ok
};

DriveMediumFields ReadDriveMediumFields(CDiscMaster& master);

} // namespace cdwriter
