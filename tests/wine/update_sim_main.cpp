// OrvaneUpdateSim.exe: the Windows program for tests, never shipped. The
// same code as OrvaneUpdate.exe, but its device is the simulated writer in
// process, described by orvane-writer-sim's writer options on the command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/update_dlg.h"
#include "app/win32_startup.h"
#include "platform/testing/callback_device.h"
#include "platform/win32/win32_platform.h"
#include "simulator/in_process_writer.h"
#include "simulator/writer_options.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    PrepareWindowsProcess();
    platform::win32::Win32Window window;
    platform::win32::Win32System system;
    platform::win32::Win32Resources resources;

    sim::WriterOptions options;
    const std::vector<std::string> args(__argv + 1, __argv + __argc);
    for (size_t i = 0; i < args.size(); ++i) {
        // No box: an unattended test must not wait on one.
        if (sim::ParseWriterOption(args, i, options) != sim::OptionResult::kTaken) {
            std::fprintf(stderr, "OrvaneUpdateSim: bad writer option %s\n", args[i].c_str());
            return 2;
        }
    }

    const ULONGLONG start = GetTickCount64();
    // The writer's clock runs from the PC's local time as the program reckons it.
    auto pcLocalSeconds = [&system] { return LocalClockSeconds(system); };
    sim::WriterModel writer([start] { return uint64_t(GetTickCount64() - start); }, pcLocalSeconds);
    sim::ApplyWriterOptions(writer, options, resources);
    sim::InProcessWriter endpoint(writer, [](uint32_t ms) { Sleep(ms); });
    platform::testing::CallbackDeviceProvider devices(endpoint);

    const platform::Platform p{window, system, resources, devices};
    return theApp.Run(p);
}
