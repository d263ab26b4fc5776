// Loading a step's carried image, with the step's messages for what can go
// wrong before anything is sent.
#include "app/message_format.h"
#include "app/update_dlg.h"

void CQuonUpdate100Dlg::ReportNoMemory(bool log) {
    const char text[] = "System too low on memory!";
    if (log) WriteLogLine(text);
    MessageBox(text, "Error", ui::kMbIconError);
}

int CQuonUpdate100Dlg::LoadStepImage(uint32_t resourceId, uint32_t slack, DecodedImage& image,
                                     bool logNoMemory) {
    switch (LoadCarriedImage(m_platform.resources, resourceId, slack, image)) {
        case ImageLoadResult::kOk:
            return kStepDone;
        case ImageLoadResult::kNoMemory:
            ReportNoMemory(logNoMemory);
            return kStepError;
        case ImageLoadResult::kMissing:
            break;
    }
    // A program built without one of its images must say so, not send nothing.
    return ReportUnusableImage(resourceId);
}

int CQuonUpdate100Dlg::ReportUnusableImage(uint32_t resourceId) {
    ReportError(FormatText("Unable to load the firmware image %d.", int(resourceId)));
    return kStepError;
}
