#include "cdwriter/DriveMedium.h"

#include "cdwriter/DiscMaster.h"
#include "cdwriter/EraseJob.h"

namespace cdwriter {

DriveMediumFields ReadDriveMediumFields(CDiscMaster& master) {
    DriveMediumFields fields;
    fields.driveName = master.GetActiveRecorderName();
    uint16_t recorderType = 0;
    if (!master.GetRecorderType(&recorderType)) {
        fields.failureText = master.GetFailureText();
        return fields;
    }
    fields.driveType = DriveTypeText(recorderType);
    uint16_t type = 0, state = 0;
    if (!master.QueryMedia(&type, &state)) {
        fields.failureText = master.GetFailureText();
        return fields;
    }
    fields.mediumType = MediumTypeText(type);
    fields.mediumState = MediumStateText(state);
    fields.eraseEnabled = state == 2;
    fields.ok = true;
    return fields;
}

} // namespace cdwriter
