// Faults at every request of a whole update, and damaged replies at random
// ones. The press with the fault must end with one box, its clean-up and its
// log; the next press must bring the writer to the release.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

#include "link/protocol.h"
#include "simulator/socket_server.h"
#include "tests/support/intel_hex_text.h"
#include "tests/support/writer_fixture.h"
#include "tools/release_images.h"

using sim::Bytes;

namespace {

const char kSuccessBox[] = "Successfully updated the Orvane.\n           Click OK to Exit.";
const char kCarriedLoaderText[] = "X-Loader 1.5.4 (Nov 30 2026 - 14:02:11)";

// A code image with the descriptor the simulated writer reads its identity from.
Bytes CodeImage(release_images::Kind kind, uint32_t version, uint32_t build, uint32_t size, uint8_t seed) {
    Bytes b(size);
    for (uint32_t i = 0; i < size; ++i) b[i] = uint8_t(i * 131 + seed + (i >> 9));
    release_images::WriteDescriptor(b, 0x40, kind, version, build);
    return b;
}

// Every device the link opens, with what went over it: whether each reply
// answers the request just written (the simulated writer names it in the
// reply's sequence field), and the requests written last.
class RecordingDevices : public platform::DeviceProvider {
public:
    RecordingDevices(platform::DeviceProvider& inner, const sim::WriterModel& writer)
        : m_inner(inner), m_writer(writer) {}

    struct Connection {
        std::vector<uint16_t> writes;  // 0x0007 with no text is recorded as 0
        bool unanswered = false;       // a read brought nothing
        bool closed = false;
    };
    std::vector<Connection> connections;
    std::vector<std::string> misread;  // replies taken for another request's

    std::unique_ptr<platform::Device> OpenDeviceInterface(const platform::Guid& g, uint32_t member,
                                                          uint32_t& error) override {
        auto device = m_inner.OpenDeviceInterface(g, member, error);
        if (!device) return nullptr;
        connections.emplace_back();
        return std::make_unique<Device>(std::move(device), *this, connections.size() - 1);
    }

private:
    class Device : public platform::Device {
    public:
        Device(std::unique_ptr<platform::Device> inner, RecordingDevices& owner, size_t index)
            : m_inner(std::move(inner)), m_owner(owner), m_index(index) {}
        uint32_t Write(const uint8_t* data, uint32_t size) override {
            const size_t before = m_owner.m_writer.log.size();
            const uint32_t n = m_inner->Write(data, size);
            if (n != 0) {
                const uint16_t command = protocol::Get16(data + protocol::kOffCommand);
                const bool blank = command == protocol::kCmdShowText &&
                                   protocol::Get32(data + protocol::kOffLength) == 0;
                Record().writes.push_back(blank ? 0 : command);
                m_lastRequest = m_owner.m_writer.log.size() > before ? uint32_t(m_owner.m_writer.log.size()) : 0;
            }
            return n;
        }
        uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
            const uint32_t n = m_inner->Read(buffer, capacity);
            if (n == 0) Record().unanswered = true;
            if (n >= protocol::kHeaderSize) {
                const uint32_t answers = protocol::Get32(buffer + protocol::kOffSequence);
                if (answers != m_lastRequest)
                    m_owner.misread.push_back("reply to request " + std::to_string(answers) +
                                              " read as the answer to request " + std::to_string(m_lastRequest));
            }
            return n;
        }
        void Control(uint32_t code) override { m_inner->Control(code); }
        uint32_t Close() override {
            Record().closed = true;
            return m_inner->Close();
        }

    private:
        Connection& Record() { return m_owner.connections[m_index]; }
        std::unique_ptr<platform::Device> m_inner;
        RecordingDevices& m_owner;
        size_t m_index;
        uint32_t m_lastRequest = 0;
    };

    platform::DeviceProvider& m_inner;
    const sim::WriterModel& m_writer;
};

// The simulated writer, with one reply damaged on its way to the program.
class DamagingEndpoint : public platform::testing::CallbackEndpoint {
public:
    explicit DamagingEndpoint(sim::InProcessWriter& writer) : m_writer(writer) {}
    bool Present() override { return m_writer.Present(); }
    uint64_t OnOpen() override { return m_writer.OnOpen(); }
    bool ConnectionAlive(uint64_t c) override { return m_writer.ConnectionAlive(c); }
    void OnClose(uint64_t c) override { m_writer.OnClose(c); }
    platform::testing::EndpointReply Exchange(const Bytes& request) override {
        platform::testing::EndpointReply reply = m_writer.Exchange(request);
        if (++m_requests == damageAt && reply.bytes) damage(*reply.bytes);
        return reply;
    }
    uint32_t damageAt = 0;
    std::function<void(Bytes&)> damage;

private:
    sim::InProcessWriter& m_writer;
    uint32_t m_requests = 0;
};

}  // namespace

// An out-of-date writer that needs every step: the boot-code path, the
// scanner, both WiFi images, both font sets and the X-Loader. The table's
// images are small, so that a whole update is some dozens of requests.
class WholeUpdate : public testsupport::WriterFixture {
protected:
    WholeUpdate() {
        using release_images::Kind;
        m_app = CodeImage(Kind::kApplication, 0x01000000, 35680, 150000, 1);
        m_boot = CodeImage(Kind::kBoot, 0x01000000, 35673, 70000, 2);
        m_fonts = CodeImage(Kind(0), 0, 0, 70000, 3);
        m_font2 = CodeImage(Kind(0), 0, 0, 20000, 4);
        m_xloader = Bytes(9000, 0x11);
        m_wifiApp = CodeImage(Kind(0), 0, 0, 30000, 5);
        m_wifiNvs = Bytes(4000, 0x22);
        std::memcpy(&m_xloader[0x100], kCarriedLoaderText, sizeof kCarriedLoaderText);
        Bytes scanner(0x300, 0x5A);
        release_images::WriteDescriptor(scanner, 0x40, Kind::kScanner, 14760, 0);
        std::copy(g_machineInfo, g_machineInfo + kMachineTypeCount, m_table);
        MachineInfo& row = m_table[22];
        const std::pair<uint32_t*, Bytes> images[] = {
            {&row.appResource, m_app},           {&row.bootResource, m_boot},
            {&row.fontResource, m_fonts},        {&row.font2Resource, m_font2},
            {&row.xloaderResource, m_xloader},   {&row.scannerResource, testsupport::IntelHexText(0x80002000, scanner)},
            {&row.wifiAppResource, m_wifiApp},  {&row.wifiNvsResource, m_wifiNvs},
        };
        uint32_t id = 910;
        for (const auto& [field, image] : images) {
            resources.Add(id, image);
            *field = id++;
        }
    }

    // A fresh writer and program; `endpointFor` may put something between them.
    void Build(bool damaging = false) {
        dialog.reset();
        m_platformBundle.reset();
        m_recorder.reset();
        devices.reset();
        m_damaging.reset();
        endpoint.reset();
        window.boxes.clear();
        window.statusTexts.clear();
        window.ended = false;
        sim::WriterSetup s;
        s.appBuild = 33000;
        s.wifi = true;
        writer = std::make_unique<sim::WriterModel>([this] { return system.NowMs(); },
                                                    [this] { return PcLocalNow(); });
        sim::ApplySetup(*writer, s, resources);
        endpoint = std::make_unique<sim::InProcessWriter>(*writer, [this](uint32_t ms) { system.Advance(ms); });
        platform::testing::CallbackEndpoint* wire = endpoint.get();
        if (damaging) wire = (m_damaging = std::make_unique<DamagingEndpoint>(*endpoint)).get();
        devices = std::make_unique<platform::testing::CallbackDeviceProvider>(*wire);
        m_recorder = std::make_unique<RecordingDevices>(*devices, *writer);
        m_platformBundle = std::make_unique<platform::Platform>(platform::Platform{window, system, resources, *m_recorder});
        dialog = std::make_unique<CQuonUpdate100Dlg>(*m_platformBundle);
        dialog->m_modelTable = m_table;
        dialog->OnInitDialog();
    }

    // What is wrong with how the press ended; empty when it ended as it must.
    std::string CheckPress(bool expectSuccess) {
        std::ostringstream wrong;
        const auto& boxes = window.boxes;
        wrong << CheckCleanUp();
        if (boxes.size() != 1) {
            wrong << boxes.size() << " boxes";
            for (const auto& b : boxes) wrong << " [" << b.text << "]";
            wrong << "; ";
        } else if (expectSuccess && boxes[0].text != kSuccessBox) {
            wrong << "box [" << boxes[0].text << "] where the update rightly carried on; ";
        } else if (!expectSuccess && (boxes[0].caption != "Error" || boxes[0].style != ui::kMbIconError)) {
            wrong << "box [" << boxes[0].text << "] is no error box; ";
        }
        return wrong.str();
    }

    // The end of every press: the exit line, every handle closed, the welcome
    // text back, the clean-up's requests where the link was still open, and
    // no reply taken for another request's.
    std::string CheckCleanUp() {
        std::ostringstream wrong;
        const std::string log = Log(), exit = " - Exiting\n";
        if (log.size() < exit.size() || log.compare(log.size() - exit.size(), exit.size(), exit) != 0)
            wrong << "log does not end with the exit line; ";
        if (dialog->m_link.IsOpen()) wrong << "link left open; ";
        for (const auto& c : m_recorder->connections)
            if (!c.closed) wrong << "a handle never closed; ";
        if (window.Status() != dialog->m_welcomeText) wrong << "status text not restored; ";
        // The clean-up's requests on a link that was still open.
        if (!m_recorder->connections.empty() && !m_recorder->connections.back().unanswered) {
            const std::vector<uint16_t>& w = m_recorder->connections.back().writes;
            // 0 stands for the display clear (0x0007 with no text).
            std::vector<uint16_t> tail = {0x0051};
            if (!window.ended) tail = dialog->m_updateStarted ? std::vector<uint16_t>{0x0051, 0} : std::vector<uint16_t>{0};
            if (w.size() < tail.size() || !std::equal(tail.begin(), tail.end(), w.end() - long(tail.size())))
                wrong << "clean-up requests missing; ";
        }
        for (const std::string& m : m_recorder->misread) wrong << m << "; ";
        return wrong.str();
    }

    // What keeps the writer from the release; empty when it holds it.
    std::string CheckRelease() {
        system.Advance(10000);  // back from the closing restart
        std::ostringstream wrong;
        if (!writer->Present()) return "writer not back";
        if (writer->inBoot || writer->appBuild != 35680) wrong << "application build " << writer->appBuild << "; ";
        if (writer->mainBootBuild != 35673) wrong << "boot build " << writer->mainBootBuild << "; ";
        if (writer->scannerVersion != 14760) wrong << "scanner version " << writer->scannerVersion << "; ";
        auto holds = [&](uint32_t region, const Bytes& image) {
            const Bytes& r = writer->Region(region);
            return std::equal(image.begin(), image.end(), r.begin());
        };
        if (!holds(0, m_xloader)) wrong << "old X-Loader; ";
        if (!holds(10, m_fonts) || !holds(11, m_font2)) wrong << "old fonts; ";
        if (!holds(8, m_wifiApp) || !holds(9, m_wifiNvs)) wrong << "old WiFi images; ";
        return wrong.str();
    }

    // The second press, against the same writer: the success box and the release.
    std::string Recover() {
        system.Advance(60000);
        window.boxes.clear();
        m_recorder->misread.clear();
        dialog->OnGoClicked();
        if (window.boxes.size() != 1 || window.boxes[0].text != kSuccessBox)
            return "second press: " + (window.boxes.empty() ? std::string("no box") : window.boxes.back().text);
        return CheckRelease();
    }

    Bytes m_app, m_boot, m_fonts, m_font2, m_xloader, m_wifiApp, m_wifiNvs;
    MachineInfo m_table[kMachineTypeCount];
    std::unique_ptr<DamagingEndpoint> m_damaging;
    std::unique_ptr<RecordingDevices> m_recorder;
    std::unique_ptr<platform::Platform> m_platformBundle;
};

class FaultSweep : public WholeUpdate, public ::testing::WithParamInterface<const char*> {};

TEST_P(FaultSweep, EveryRequestOfAWholeUpdate) {
    const std::string kind = GetParam();
    // The clean run: its requests, and where the writer is told to restart.
    Build();
    dialog->OnGoClicked();
    ASSERT_EQ(CheckPress(true), "");
    ASSERT_EQ(CheckRelease(), "");
    const std::vector<sim::RequestRecord> clean = writer->log;
    const uint32_t requests = uint32_t(clean.size());
    ASSERT_GT(requests, 40u);

    // Under the sanitizers a spread of the points, when ORVANE_SWEEP_STRIDE says so.
    const char* strideText = std::getenv("ORVANE_SWEEP_STRIDE");
    const uint32_t stride = strideText && std::atoi(strideText) > 0 ? uint32_t(std::atoi(strideText)) : 1;
    uint32_t points = 0, held = 0, recovered = 0;
    std::vector<std::string> failures;
    for (uint32_t k = 1; k <= requests; k += stride) {
        Build();
        sim::Fault fault;
        fault.atRequest = k;
        if (kind == "unplug") {
            fault.kind = sim::FaultKind::kUnplug;
        } else if (kind == "noreply") {
            fault.kind = sim::FaultKind::kNoReply;
        } else {
            fault.kind = sim::FaultKind::kSlowReply;
            fault.delayMs = 32000;  // past the link's 30 s bound
        }
        writer->faults.push_back(fault);
        dialog->OnGoClicked();

        // Carrying on is right only where nothing depends on the lost answer:
        // from the closing display clear after the last image to the last end
        // of programming, and at a restart request after which the writer can
        // be found again.
        const uint16_t command = clean[k - 1].command;
        const bool unusedToTheEnd = std::all_of(clean.begin() + (k - 1), clean.end(), [](const sim::RequestRecord& r) {
            return r.command == 0x0051 || (r.command == 0x0007 && r.text.empty());
        });
        const bool resetEnd = command == 0x0051 && kind != "unplug";
        const std::string wrong = CheckPress(unusedToTheEnd || resetEnd);
        ++points;
        if (wrong.empty()) ++held;
        else failures.push_back("k=" + std::to_string(k) + " (" + sim::CommandName(command) + "): " + wrong);

        if (kind == "unplug") writer->Replug();
        const std::string notBack = Recover();
        if (notBack.empty()) ++recovered;
        else failures.push_back("k=" + std::to_string(k) + " (" + sim::CommandName(command) + ") not recovered: " + notBack);
    }
    std::printf("sweep %s: %u of %u points held\n", kind.c_str(), held, points);
    std::printf("sweep %s recovered: %u of %u\n", kind.c_str(), recovered, points);
    for (const std::string& f : failures) ADD_FAILURE() << f;
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultSweep, ::testing::Values("unplug", "noreply", "late"),
                         [](const auto& info) { return std::string(info.param); });

// Whole updates in which one reply, at a random request, is damaged. The
// seed is printed; ORVANE_DAMAGE_SEED replays a run, ORVANE_DAMAGE_RUNS sets
// how many.
TEST_F(WholeUpdate, DamagedReplies) {
    Build();
    dialog->OnGoClicked();
    const uint32_t requests = uint32_t(writer->log.size());
    const char* seedText = std::getenv("ORVANE_DAMAGE_SEED");
    const char* runsText = std::getenv("ORVANE_DAMAGE_RUNS");
    const uint32_t seed = seedText ? uint32_t(std::strtoul(seedText, nullptr, 0)) : 20261210u;
    const int runs = runsText ? std::atoi(runsText) : 200;
    std::printf("damaged replies: seed %u (ORVANE_DAMAGE_SEED=%u replays it)\n", seed, seed);
    std::mt19937 random(seed);
    const char* const kinds[] = {"header byte flipped", "payload byte flipped", "short reply",
                                 "wrong reply code",    "payload cut short",    "length word too large"};
    int clean = 0, trustedVersions = 0;
    for (int run = 0; run < runs; ++run) {
        Build(true);
        const uint32_t k = 1 + random() % requests;
        const int kind = int(random() % 6);
        const uint32_t where = random(), mask = 1 + random() % 255, extra = 1 + random() % 70000;
        m_damaging->damageAt = k;
        uint32_t flippedAt = ~0u;  // the byte a flip hit
        m_damaging->damage = [&](Bytes& b) {
            const uint32_t payload = uint32_t(b.size()) - protocol::kHeaderSize;
            switch (kind) {
                case 0:
                case 1:
                    flippedAt = kind == 1 && payload ? protocol::kHeaderSize + where % payload : where % protocol::kHeaderSize;
                    b[flippedAt] ^= uint8_t(mask);
                    break;
                case 2: b.resize(1 + where % (protocol::kHeaderSize - 1)); break;
                case 3: protocol::Put16(&b[protocol::kOffCommand], uint16_t(protocol::Get16(&b[protocol::kOffCommand]) ^ mask)); break;
                case 4:  // a chunk's reply has no payload: it loses its last header bytes
                    b.resize(payload ? protocol::kHeaderSize + where % payload : protocol::kHeaderSize - 1 - where % 8);
                    if (b.size() < protocol::kHeaderSize) break;
                    protocol::Put32(&b[protocol::kOffLength], uint32_t(b.size()) - protocol::kHeaderSize);
                    break;
                default: protocol::Put32(&b[protocol::kOffLength], payload + extra); break;
            }
        };
        dialog->OnGoClicked();

        std::ostringstream wrong;
        int errors = 0;
        bool success = false;
        for (const auto& b : window.boxes) {
            errors += b.caption == "Error";
            success = success || b.text == kSuccessBox;
        }
        if (errors > 1) wrong << errors << " error boxes; ";
        // A flip in the sequence field of the damaged reply is no misread.
        if (flippedAt >= 2 && flippedAt < 6) m_recorder->misread.clear();
        wrong << CheckCleanUp();
        bool trusted = false;
        const uint16_t command = writer->log[k - 1].command;
        // A code chunk's reply is read for its code and length: damaged
        // there, the transfer must fail, and the update with it; its other
        // fields are never read. (A failed X-Loader transfer is tried again
        // after the restart, so it may still end in success.)
        const bool chunk = command == 0x0002 || command == 0x0050;
        const bool readPartDamaged = kind >= 2 || (flippedAt >= 6 && flippedAt < 12);
        if (success && chunk && readPartDamaged) wrong << "success box after a damaged transfer reply; ";
        if (success) {
            const std::string notThere = CheckRelease();
            // The writer's versions carry no check: one damaged into a newer
            // one rightly skips its image, and the next press brings it.
            trusted = !notThere.empty() && kind <= 1 && (command == 0x0001 || command == 0xE019);
            if (!notThere.empty() && !trusted) wrong << "success box, but " << notThere;
        }
        const std::string notBack = Recover();
        if (!notBack.empty()) wrong << "not recovered: " << notBack;
        if (wrong.str().empty()) {
            ++clean;
            if (trusted) {
                ++trustedVersions;
                std::printf("damaged replies: run %d, a version damaged at request %u was taken as the writer's\n", run, k);
            }
        } else {
            ADD_FAILURE() << "run " << run << ", request " << k << " (" << sim::CommandName(writer->log[k - 1].command)
                          << "), " << kinds[kind] << ": " << wrong.str();
        }
    }
    std::printf("damaged replies: %d of %d runs clean (%d with a damaged version taken as the writer's)\n", clean,
                runs, trustedVersions);
}
