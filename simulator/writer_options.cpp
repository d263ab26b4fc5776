#include "simulator/writer_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

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

bool ParseFault(const std::string& spec, Fault& f) {
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
    using K = FaultKind;
    if (kind == "noreply") f.kind = K::kNoReply;
    else if (kind == "short") f.kind = K::kShortReply;
    else if (kind == "wrongcode") f.kind = K::kWrongCode;
    else if (kind == "refuse") f.kind = K::kRefuse;
    else if (kind == "corrupt") f.kind = K::kCorruptRead;
    else if (kind == "busy") f.kind = K::kBusy;
    else if (kind == "unplug") f.kind = K::kUnplug;
    else if (kind == "slow") f.kind = K::kSlowReply;
    else if (kind == "truncate") f.kind = K::kTruncate;
    else if (kind == "lost") f.kind = K::kLost;
    else if (kind == "crash") f.kind = K::kCrash;
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

}  // namespace

OptionResult ParseWriterOption(const std::vector<std::string>& args, size_t& i, WriterOptions& o) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
        if (i + 1 >= args.size()) return false;
        out = args[++i];
        return true;
    };
    std::string v;
    uint64_t n = 0;
    bool ok = true;
        if (a == "--type") ok = value(v) && ParseNumber(v, n) && (o.setup.machineType = uint32_t(n), true);
        else if (a == "--in-boot") o.setup.inBoot = true;
        else if (a == "--app-version") ok = value(v) && ParseVersion(v, o.setup.appVersion);
        else if (a == "--app-build") ok = value(v) && ParseNumber(v, n) && (o.setup.appBuild = uint32_t(n), true);
        else if (a == "--boot-version") ok = value(v) && ParseVersion(v, o.setup.bootVersion);
        else if (a == "--boot-build") ok = value(v) && ParseNumber(v, n) && (o.setup.bootBuild = uint32_t(n), true);
        else if (a == "--sec-boot-version") ok = value(v) && ParseVersion(v, o.setup.secBootVersion);
        else if (a == "--sec-boot-build") ok = value(v) && ParseNumber(v, n) && (o.setup.secBootBuild = uint32_t(n), true);
        else if (a == "--scanner-version") ok = value(v) && ParseNumber(v, n) && (o.setup.scannerVersion = uint32_t(n), true);
        else if (a == "--no-scanner-version") o.noScannerVersion = true;
        else if (a == "--xloader-version") ok = value(o.setup.xloaderVersion);
        else if (a == "--current") o.setup.current = true;
        else if (a == "--job-open") o.setup.jobFileOpen = true;
        else if (a == "--realtime") o.setup.realtimeActive = true;
        else if (a == "--clock-offset") {
            ok = value(v);
            char* end = nullptr;
            if (ok) o.setup.clockOffsetSeconds = std::strtoll(v.c_str(), &end, 0);
            ok = ok && end && *end == '\0';
        }
        else if (a == "--restart-delay") ok = value(v) && ParseNumber(v, n) && (o.setup.restartDelayMs = uint32_t(n), true);
        else if (a == "--stay-away") o.stayAway = true;
        else if (a == "--display-nack") ok = value(v) && ParseNumber(v, n) && (o.displayNack = uint32_t(n), true);
        else if (a == "--wifi") o.setup.wifi = true;
        else if (a == "--fault") {
            Fault f;
            ok = value(v) && ParseFault(v, f);
            if (ok) o.faults.push_back(f);
        }
        else return OptionResult::kNotAWriterOption;
    return ok ? OptionResult::kTaken : OptionResult::kBadValue;
}

void ApplyWriterOptions(WriterModel& model, const WriterOptions& o, platform::Resources& release) {
    ApplySetup(model, o.setup, release);
    model.reportScannerVersion = !o.noScannerVersion;
    model.stayAwayAfterRestart = o.stayAway;
    model.displayNackProbes = o.displayNack;
    model.faults = o.faults;
}

}  // namespace sim
