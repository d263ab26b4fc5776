// orvane-writer-sim: a simulated writer where the program looks for one: on
// the POSIX device socket, or under Wine as a device of the writer's class.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <string>

#ifdef _WIN32
#include <thread>

#include "app/update_dlg.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_headers.h"
#else
#include "platform/posix/posix_resources.h"
#include "platform/posix/posix_system.h"
#endif
#include "simulator/presenter.h"
#include "simulator/writer_options.h"

namespace {

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }

const char kHelp[] =
#ifdef _WIN32
    "usage: orvane-writer-sim.exe [options]\n"
    "Presents a simulated writer as a device of the writer's interface class, as\n"
    "the writer's driver would (under Wine only: on Windows, Plug and Play owns the\n"
    "device list). By default an out-of-date Orvane that needs every step of a\n"
    "full update. Says \"ready: PATH\" once the program can find it; ends on\n"
    "Ctrl+C or when the event Local\\orvane-writer-sim-stop-NAME is set, and\n"
    "leaves its device unlinked.\n"
    "\n"
    "  --name NAME            device instance ROOT\\ORVANE\\NAME (default 0000); a\n"
    "                         second writer is a second copy with another NAME\n"
#else
    "usage: orvane-writer-sim [options]\n"
    "Serves a simulated writer on NAME.sock in the writer directory. By default an\n"
    "out-of-date Orvane that needs every step of a full update.\n"
    "\n"
    "  --dir DIR              writer directory (default: $ORVANE_WRITER_DIR, else\n"
    "                         $XDG_RUNTIME_DIR/orvane-writers, else /tmp/orvane-writers-UID)\n"
    "  --name NAME            socket name without .sock (default writer0)\n"
#endif
    "  --type N               machine type (default 22)\n"
    "  --in-boot              application erased: the boot loader answers\n"
    "  --app-version V        running application version, 1.00.00 or 1.00.00b2 or 0x01000000\n"
    "  --app-build N          running application build (default 35400)\n"
    "  --boot-version V       main boot loader version (default 1.00.00)\n"
    "  --boot-build N         main boot loader build (default 35390)\n"
    "  --sec-boot-version V   secondary boot loader version\n"
    "  --sec-boot-build N     secondary boot loader build\n"
    "  --scanner-version N    keyboard scanner version (default 14500)\n"
    "  --no-scanner-version   identification reports no scanner version\n"
    "  --xloader-version TEXT X-Loader version text\n"
    "  --current              holds every image of this release\n"
    "  --job-open             REALTIME.000 is open on the writer\n"
    "  --realtime             real-time is active (end of programming is refused)\n"
    "  --clock-offset S       writer clock minus PC local time, in seconds\n"
    "  --restart-delay MS     time away after end of programming (default 3000)\n"
    "  --stay-away            does not come back after a restart\n"
    "  --display-nack K       refuses the first K display probes after a restart\n"
    "  --wifi                 has WiFi regions\n"
    "  --fault SPEC           inject a fault (repeatable): KIND[=VALUE]@WHERE[*TIMES]\n"
    "                         KIND: noreply short wrongcode refuse corrupt busy unplug slow\n"
    "                         truncate lost crash\n"
    "                         noreply: the request is swallowed; lost: carried out, no reply;\n"
    "                         slow: the reply comes late (at 30000 ms or more, after the\n"
    "                         program's read bound, to whatever reads next);\n"
    "                         crash: drops the connection, is away for the restart delay and\n"
    "                         comes back in its boot loader with its application erased\n"
    "                         VALUE: error code (refuse), busy bits (busy), delay ms (slow),\n"
    "                         data bytes kept (truncate)\n"
    "                         WHERE: N (the Nth request), cmd:CODE or cmd:CODE:K (Kth of it)\n"
    "                         TIMES: how often, 0 for always (default 1)\n"
    "  --quiet                no trace\n"
    "  --help                 this text\n";

#ifdef _WIN32
// The PC's local time as the program reckons it.
uint32_t PcLocalSeconds() {
    platform::win32::Win32System system;
    return LocalClockSeconds(system);
}

BOOL WINAPI OnConsoleEvent(DWORD) {
    g_stop = true;
    return TRUE;
}

// A test ends the writer by setting its named event, so that it can unlink
// its device on the way out.
void StopOnEvent(const std::string& name) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, ("Local\\orvane-writer-sim-stop-" + name).c_str());
    if (!event) return;
    std::thread([event] {
        WaitForSingleObject(event, INFINITE);
        g_stop = true;
    }).detach();
}
#else
uint32_t PcLocalSeconds() {
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return uint32_t(int64_t(now) + local.tm_gmtoff);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    sim::WriterOptions options;
    sim::ServeOptions serve;
#ifdef _WIN32
    serve.name = "0000";
#else
    serve.directory = platform::posix::WriterDirectory();
#endif
    serve.trace = &std::cout;

    const std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const size_t at = i;
        sim::OptionResult r = sim::OptionResult::kTaken;
        if (a == "--help" || a == "-h") {
            std::cout << kHelp;
            return 0;
#ifndef _WIN32
        } else if (a == "--dir") {
            if (i + 1 >= args.size()) r = sim::OptionResult::kBadValue;
            else serve.directory = args[++i];
#endif
        } else if (a == "--name") {
            if (i + 1 >= args.size() || args[i + 1].empty()) r = sim::OptionResult::kBadValue;
            else serve.name = args[++i];
        } else if (a == "--quiet") {
            serve.trace = nullptr;
        } else {
            r = sim::ParseWriterOption(args, i, options);
        }
        if (r != sim::OptionResult::kTaken) {
            std::cerr << "orvane-writer-sim: bad option " << a
                      << (i > at ? " " + args[i] : "")
                      << " (see --help)\n";
            return 2;
        }
    }

    const auto start = std::chrono::steady_clock::now();
    auto nowMs = [start]() {
        return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start).count());
    };
    sim::WriterModel model(nowMs, PcLocalSeconds);
#ifdef _WIN32
    platform::win32::Win32Resources release;
#else
    platform::posix::PosixResources release;
#endif
    sim::ApplyWriterOptions(model, options, release);

    std::ostream* trace = serve.trace;
    if (trace) {
        *trace << "writer: type " << model.machineType << (model.inBoot ? ", boot loader" : ", application")
               << std::hex << std::setfill('0') << " version 0x" << std::setw(8)
               << (model.inBoot ? model.mainBootVersion : model.appVersion) << std::dec
               << ", build " << (model.inBoot ? model.mainBootBuild : model.appBuild)
               << ", scanner " << model.scannerVersion << std::endl;
        model.onRequest = [trace](const sim::RequestRecord& r) {
            *trace << std::setfill(' ') << "[" << std::setw(8) << std::fixed << std::setprecision(3)
                   << double(r.timeMs) / 1000.0 << "] #" << r.sequence << " "
                   << sim::CommandName(r.command) << std::hex << " (0x" << std::setw(4)
                   << std::setfill('0') << r.command << ")" << std::dec << std::setfill(' ');
            *trace << " params";
            for (uint32_t p : r.params) *trace << " " << p;
            *trace << " payload " << r.payloadSize;
            if (!r.text.empty()) *trace << " \"" << r.text << "\"";
            *trace << std::endl;
        };
        model.onDisplay = [trace](const std::string& text) {
            *trace << "  display: " << (text.empty() ? "(cleared)" : "\"" + text + "\"") << std::endl;
        };
        model.onEvent = [trace](const std::string& text) { *trace << "  writer: " << text << std::endl; };
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    StopOnEvent(serve.name);
#endif
    return sim::PresentWriter(model, serve, g_stop);
}
