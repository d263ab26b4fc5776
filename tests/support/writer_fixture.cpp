#include "tests/support/writer_fixture.h"

#include <cstdlib>
#include <random>

#include "tools/lzari_encoder.h"

namespace testsupport {

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto path = std::filesystem::temp_directory_path() / ("orvane-test-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) {
            m_path = path.string();
            return;
        }
    }
    std::abort();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void TestResources::Add(uint32_t id, const std::vector<uint8_t>& image) {
    m_extra[id] = PackContainer(image.data(), image.size());
}

bool TestResources::FindRcData(uint32_t id, const uint8_t*& data, uint32_t& size) {
    const auto it = m_extra.find(id);
    if (it == m_extra.end()) return ReleaseResources::FindRcData(id, data, size);
    data = it->second.data();
    size = uint32_t(it->second.size());
    return true;
}

WriterFixture::WriterFixture() {
    system.documentsFolder = docs.Path();
    window.SetApplicationName("Orvane Update");
}

uint32_t WriterFixture::PcLocalNow() {
    const platform::TimeZoneBias z = system.zone;
    const int32_t extra = system.daylight ? z.daylightBias : z.standardBias;
    return uint32_t(system.UtcSeconds()) - 60u * uint32_t(z.bias) - 60u * uint32_t(extra);
}

void WriterFixture::MakeWriter(const sim::WriterSetup& setup) {
    // Dependents first: the dialog's link refers to the device and the writer.
    dialog.reset();
    platform.reset();
    devices.reset();
    endpoint.reset();
    writer = std::make_unique<sim::WriterModel>([this] { return system.NowMs(); },
                                                [this] { return PcLocalNow(); });
    sim::ApplySetup(*writer, setup, resources);
    endpoint = std::make_unique<sim::InProcessWriter>(*writer, [this](uint32_t ms) { system.Advance(ms); });
    devices = std::make_unique<platform::testing::CallbackDeviceProvider>(*endpoint);
    platform = std::make_unique<platform::Platform>(
        platform::Platform{window, system, resources, *devices});
    dialog = std::make_unique<CQuonUpdate100Dlg>(*platform);
}

void WriterFixture::StartDialog() {
    if (!dialog) MakeDefaultWriter();
    dialog->OnInitDialog();
}

}  // namespace testsupport
