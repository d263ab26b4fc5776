// Brings the writer's clock in line with the PC's local wall clock.
#include "app/update_dlg.h"

uint32_t LocalClockSeconds(platform::System& system) {
    const platform::TimeZoneBias zone = system.GetTimeZoneBias();
    const int64_t utc = system.UtcSeconds();
    platform::LocalTimeParts local;
    const bool daylight = system.LocalTime(utc, local) && local.daylight;
    const int32_t extra = daylight ? zone.daylightBias : zone.standardBias;
    return uint32_t(utc) - 60u * uint32_t(zone.bias) - 60u * uint32_t(extra);
}

uint32_t CQuonUpdate100Dlg::GetLocalClockSeconds() { return LocalClockSeconds(System()); }

int CQuonUpdate100Dlg::CheckWriterClock() {
    const uint32_t pc = GetLocalClockSeconds();
    uint32_t writer = 0;
    if (m_link.AccessClock(&writer, 0, 0) != 0) return 0;
    if (writer == pc) return 0;
    const uint32_t difference = writer > pc ? writer - pc : pc - writer;
    if (difference > kClockToleranceSeconds) {
        const int answer = Backend().AppMessageBox(
            "Your Steno Machine's date/time doesn't match the PC date/time.\nDo you want it to "
            "match the PC date/time?",
            ui::kMbYesNo | ui::kMbIconQuestion);
        if (answer != ui::kIdYes) return 0;
    }
    // Taken after the answer, so time spent in the box does not count.
    m_link.AccessClock(nullptr, GetLocalClockSeconds(), 1);
    return 0;
}
