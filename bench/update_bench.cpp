// CPU time and peak resident memory of a whole update of an out-of-date
// writer with the release's own images: in process on the virtual clock, and
// as orvane-update against orvane-writer-sim. Each update runs in a child
// process of its own, so its figures are its own.
// orvane-update runs with its output piped and on a terminal, where it draws
// its progress line.
//   update_bench [RUNS [ORVANE_UPDATE ORVANE_WRITER_SIM]]
// (other builds of the two programs, e.g. an earlier commit's, to compare)
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/update_dlg.h"
#include "platform/posix/posix_resources.h"
#include "platform/testing/callback_device.h"
#include "platform/testing/scripted_window.h"
#include "platform/testing/virtual_system.h"
#include "simulator/in_process_writer.h"
#include "simulator/writer_setup.h"

namespace {

std::string g_updateBin = ORVANE_UPDATE_BIN;
std::string g_simBin = ORVANE_SIM_BIN;

struct Figures {
    double cpuSeconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

Figures FromUsage(const rusage& u, int status) {
    Figures f;
    f.cpuSeconds = double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    f.peakMiB = double(u.ru_maxrss) / 1024.0;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return f;
}

// One whole update in this (forked) process; exits 0 on the success box.
[[noreturn]] void UpdateInProcess(const std::string& documents) {
    platform::testing::ScriptedWindow window;
    platform::testing::VirtualSystem system;
    system.documentsFolder = documents;
    platform::posix::PosixResources resources;
    sim::WriterModel writer([&] { return system.NowMs(); }, [&] { return uint32_t(system.UtcSeconds()); });
    sim::ApplySetup(writer, sim::WriterSetup{}, resources);
    sim::InProcessWriter endpoint(writer, [&](uint32_t ms) { system.Advance(ms); });
    platform::testing::CallbackDeviceProvider devices(endpoint);
    const platform::Platform p{window, system, resources, devices};
    CQuonUpdate100Dlg dialog(p);
    dialog.OnInitDialog();
    dialog.OnGoClicked();
    const bool success = window.boxes.size() == 1 && window.boxes[0].text.rfind("Successfully", 0) == 0;
    std::_Exit(success ? 0 : 1);
}

Figures InProcess(const std::string& documents) {
    const pid_t pid = fork();
    if (pid == 0) UpdateInProcess(documents);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return FromUsage(usage, status);
}

// In a forked child: the program with extra environment entries.
[[noreturn]] void Exec(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    std::_Exit(127);
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const char* input) {
    int in[2];
    if (pipe(in) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        close(in[0]);
        close(in[1]);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        Exec(argv, env);
    }
    close(in[0]);
    if (input) {
        const ssize_t ignored = write(in[1], input, std::char_traits<char>::length(input));
        (void)ignored;
    }
    close(in[1]);
    return pid;
}

// orvane-update on a terminal of its own, where it draws its progress line.
pid_t SpawnOnTerminal(const std::vector<std::string>& argv, const std::vector<std::string>& env, int& terminal) {
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        Exec(argv, env);
    }
    return pid;
}

Figures OverSockets(const std::string& work, bool onTerminal) {
    const std::string writers = work + "/writers", documents = work + "/Documents";
    mkdir(writers.c_str(), 0700);
    const pid_t writer = Spawn({g_simBin, "--dir", writers, "--restart-delay", "300", "--quiet"}, {}, nullptr);
    for (int i = 0; i < 200 && access((writers + "/writer0.sock").c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<std::string> env = {"ORVANE_WRITER_DIR=" + writers, "XDG_DOCUMENTS_DIR=" + documents};
    pid_t update = -1;
    if (onTerminal) {
        int terminal = -1;
        update = SpawnOnTerminal({g_updateBin}, env, terminal);
        const ssize_t ignored = write(terminal, "go\n", 3);
        (void)ignored;
        char drained[4096];
        while (read(terminal, drained, sizeof drained) > 0) {
        }
        close(terminal);
    } else {
        update = Spawn({g_updateBin}, env, "go\n");
    }
    int status = 0;
    rusage usage{};
    wait4(update, &status, 0, &usage);
    kill(writer, SIGTERM);
    waitpid(writer, nullptr, 0);
    return FromUsage(usage, status);
}

void Print(const char* what, std::vector<Figures> runs) {
    std::sort(runs.begin(), runs.end(), [](const Figures& a, const Figures& b) { return a.cpuSeconds < b.cpuSeconds; });
    double peak = 0;
    bool ok = true;
    for (const Figures& f : runs) {
        peak = std::max(peak, f.peakMiB);
        ok = ok && f.ok;
    }
    std::printf("%-46s CPU %.3f s (median of %zu, best %.3f s), peak resident %.1f MiB%s\n", what,
                runs[runs.size() / 2].cpuSeconds, runs.size(), runs[0].cpuSeconds, peak,
                ok ? "" : "  [AN UPDATE DID NOT SUCCEED]");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (argc > 3) {
        g_updateBin = argv[2];
        g_simBin = argv[3];
    }
    char pattern[] = "/tmp/orvane-bench.XXXXXX";
    const std::string work = mkdtemp(pattern);
    const std::string documents = work + "/Documents";
    mkdir(documents.c_str(), 0700);
    std::vector<Figures> inProcess, overSockets, onTerminal;
    for (int i = 0; i < runs; ++i) inProcess.push_back(InProcess(documents));
    for (int i = 0; i < runs; ++i) overSockets.push_back(OverSockets(work, false));
    for (int i = 0; i < runs; ++i) onTerminal.push_back(OverSockets(work, true));
    std::printf("Whole update of an out-of-date writer with the release's own images:\n");
    Print("in process, virtual clock (writer included):", inProcess);
    Print("orvane-update against orvane-writer-sim:", overSockets);
    Print("the same on a terminal (progress line drawn):", onTerminal);
    std::string remove = "rm -rf '" + work + "'";
    return std::system(remove.c_str()) == 0 ? 0 : 1;
}
