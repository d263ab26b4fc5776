// orvane-writer-sim: a simulated writer on the POSIX device socket.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <string>

#include "platform/posix/posix_resources.h"
#include "platform/posix/posix_system.h"
#include "simulator/socket_server.h"
#include "simulator/writer_setup.h"

namespace {

std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop = true; }

const char kHelp[] =
    "usage: orvane-writer-sim [options]\n"
    "Serves a simulated writer on NAME.sock in the writer directory. By default an\n"
    "out-of-date Orvane that needs every step of a full update.\n"
    "\n"
    "  --dir DIR              writer directory (default: $ORVANE_WRITER_DIR, else\n"
    "                         $XDG_RUNTIME_DIR/orvane-writers, else /tmp/orvane-writers-UID)\n"
    "  --name NAME            socket name without .sock (default writer0)\n"
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
    "                         truncate\n"
    "                         VALUE: error code (refuse), busy bits (busy), delay ms (slow),\n"
    "                         data bytes kept (truncate)\n"
    "                         WHERE: N (the Nth request), cmd:CODE or cmd:CODE:K (Kth of it)\n"
    "                         TIMES: how often, 0 for always (default 1)\n"
    "  --quiet                no trace\n"
    "  --help                 this text\n";

bool ParseNumber(const std::string& s, uint64_t& v) {
    char* end = nullptr;
    errno = 0;
    v = std::strtoull(s.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0' && !s.empty();
}

bool ParseVersion(const std::string& s, uint32_t& v) {
    uint64_t n;
    if (s.rfind("0x", 0) == 0) {
        if (!ParseNumber(s, n) || n > 0xFFFFFFFF) return false;
        v = uint32_t(n);
        return true;
    }
    unsigned major, minor, patch, beta = 0;
    char tail = 0;
    const int got = std::sscanf(s.c_str(), "%x.%x.%x%c%x", &major, &minor, &patch, &tail, &beta);
    if (got < 3 || (got >= 4 && tail != 'b') || major > 255 || minor > 255 || patch > 255 || beta > 255)
        return false;
    v = major << 24 | minor << 16 | patch << 8 | beta;
    return true;
}

bool ParseFault(const std::string& spec, sim::Fault& f) {
    const size_t at = spec.find('@');
    if (at == std::string::npos) return false;
    std::string kind = spec.substr(0, at), where = spec.substr(at + 1), value;
    const size_t eq = kind.find('=');
    if (eq != std::string::npos) {
        value = kind.substr(eq + 1);
        kind = kind.substr(0, eq);
    }
    const size_t star = where.find('*');
    if (star != std::string::npos) {
        uint64_t t;
        if (!ParseNumber(where.substr(star + 1), t)) return false;
        f.times = t == 0 ? -1 : int(t);
        where = where.substr(0, star);
    }
    using K = sim::FaultKind;
    if (kind == "noreply") f.kind = K::kNoReply;
    else if (kind == "short") f.kind = K::kShortReply;
    else if (kind == "wrongcode") f.kind = K::kWrongCode;
    else if (kind == "refuse") f.kind = K::kRefuse;
    else if (kind == "corrupt") f.kind = K::kCorruptRead;
    else if (kind == "busy") f.kind = K::kBusy;
    else if (kind == "unplug") f.kind = K::kUnplug;
    else if (kind == "slow") f.kind = K::kSlowReply;
    else if (kind == "truncate") f.kind = K::kTruncate;
    else return false;
    uint64_t n = 0;
    if (!value.empty()) {
        if (!ParseNumber(value, n)) return false;
        if (f.kind == K::kSlowReply) f.delayMs = uint32_t(n); else f.code = uint32_t(n);
    }
    if (where.rfind("cmd:", 0) == 0) {
        const std::string rest = where.substr(4);
        const size_t colon = rest.find(':');
        if (!ParseNumber(rest.substr(0, colon), n) || n > 0xFFFF) return false;
        f.command = uint16_t(n);
        if (colon != std::string::npos) {
            if (!ParseNumber(rest.substr(colon + 1), n)) return false;
            f.occurrence = uint32_t(n);
        } else if (star == std::string::npos) {
            f.times = -1;  // every request of that command
        }
    } else {
        if (!ParseNumber(where, n) || n == 0) return false;
        f.atRequest = uint32_t(n);
    }
    return true;
}

uint32_t PcLocalSeconds() {
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return uint32_t(int64_t(now) + local.tm_gmtoff);
}

}  // namespace

int main(int argc, char** argv) {
    sim::WriterSetup setup;
    sim::ServeOptions serve;
    serve.directory = platform::posix::WriterDirectory();
    serve.trace = &std::cout;
    std::vector<sim::Fault> faults;
    bool noScanner = false, stayAway = false;
    uint32_t displayNack = 0;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        uint64_t n = 0;
        bool ok = true;
        if (a == "--help" || a == "-h") { std::cout << kHelp; return 0; }
        else if (a == "--dir") ok = value(serve.directory);
        else if (a == "--name") ok = value(serve.name);
        else if (a == "--type") ok = value(v) && ParseNumber(v, n) && (setup.machineType = uint32_t(n), true);
        else if (a == "--in-boot") setup.inBoot = true;
        else if (a == "--app-version") ok = value(v) && ParseVersion(v, setup.appVersion);
        else if (a == "--app-build") ok = value(v) && ParseNumber(v, n) && (setup.appBuild = uint32_t(n), true);
        else if (a == "--boot-version") ok = value(v) && ParseVersion(v, setup.bootVersion);
        else if (a == "--boot-build") ok = value(v) && ParseNumber(v, n) && (setup.bootBuild = uint32_t(n), true);
        else if (a == "--sec-boot-version") ok = value(v) && ParseVersion(v, setup.secBootVersion);
        else if (a == "--sec-boot-build") ok = value(v) && ParseNumber(v, n) && (setup.secBootBuild = uint32_t(n), true);
        else if (a == "--scanner-version") ok = value(v) && ParseNumber(v, n) && (setup.scannerVersion = uint32_t(n), true);
        else if (a == "--no-scanner-version") noScanner = true;
        else if (a == "--xloader-version") ok = value(setup.xloaderVersion);
        else if (a == "--current") setup.current = true;
        else if (a == "--job-open") setup.jobFileOpen = true;
        else if (a == "--realtime") setup.realtimeActive = true;
        else if (a == "--clock-offset") {
            ok = value(v);
            char* end = nullptr;
            if (ok) setup.clockOffsetSeconds = std::strtoll(v.c_str(), &end, 0);
            ok = ok && end && *end == '\0';
        }
        else if (a == "--restart-delay") ok = value(v) && ParseNumber(v, n) && (setup.restartDelayMs = uint32_t(n), true);
        else if (a == "--stay-away") stayAway = true;
        else if (a == "--display-nack") ok = value(v) && ParseNumber(v, n) && (displayNack = uint32_t(n), true);
        else if (a == "--wifi") setup.wifi = true;
        else if (a == "--fault") {
            sim::Fault f;
            ok = value(v) && ParseFault(v, f);
            if (ok) faults.push_back(f);
        }
        else if (a == "--quiet") serve.trace = nullptr;
        else ok = false;
        if (!ok) {
            std::cerr << "orvane-writer-sim: bad option " << a << (v.empty() ? "" : " " + v)
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
    platform::posix::PosixResources release;
    sim::ApplySetup(model, setup, release);
    model.reportScannerVersion = !noScanner;
    model.stayAwayAfterRestart = stayAway;
    model.displayNackProbes = displayNack;
    model.faults = faults;

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
    return sim::ServeSocket(model, serve, g_stop);
}
