// The X-Loader: read back whole, and programmed only when it differs and
// the carried version text orders after the writer's.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "app/message_format.h"
#include "app/update_dlg.h"
#include "firmware/image_checksum.h"
#include "resources/resource.h"

namespace {
constexpr char kMarker[] = "X-Loader ";
constexpr size_t kMarkerLength = sizeof kMarker - 1;
constexpr uint32_t kReadParam = 4;
// Two version texts share one 512-byte log line.
constexpr size_t kLoggedVersionText = 240;

// From the first marker to its zero byte or the end of the copy; empty when
// the copy holds no marker, so such a copy never orders after another.
std::string VersionText(const uint8_t* copy, uint32_t length) {
    const uint8_t* end = copy + length;
    const uint8_t* at = std::search(copy, end, kMarker, kMarker + kMarkerLength);
    if (at == end) return {};
    const uint8_t* stop = std::find(at, end, uint8_t(0));
    return std::string(reinterpret_cast<const char*>(at), size_t(stop - at));
}

std::string Logged(const std::string& text) { return text.substr(0, kLoggedVersionText); }
}  // namespace

int CQuonUpdate100Dlg::UpdateXLoader() {
    if (m_xloaderDone) return kStepDone;
    const int result = [&]() -> int {
        const MachineInfo& row = WriterRow();
        if (row.xloaderResource == 0) return kStepDone;
        m_link.ShowText("Updating X-Loader");
        SetDlgItemText(IDC_STATUS, "\n\nChecking XLoader...");

        DecodedImage image;
        if (const int rc = LoadStepImage(row.xloaderResource, kDecodeSlack, image, true)) return rc;
        const uint32_t length = image.length;
        std::unique_ptr<uint8_t[]> readBack(new (std::nothrow) uint8_t[length ? length : 1]);
        if (!readBack) {
            ReportNoMemory(true);
            return kStepError;
        }
        uint32_t size = 0;
        const uint32_t address = m_link.QueryRegion(protocol::kRegionXLoader, &size);
        const uint32_t block = m_link.m_blockSize ? m_link.m_blockSize : protocol::kMaxPayload;
        for (uint32_t offset = 0; offset < length;) {
            const uint32_t chunk = std::min(length - offset, block);
            if (!m_link.ReadMemoryBlock(address + offset, chunk, readBack.get() + offset, kReadParam)) {
                ReportError(FormatText<kShortMessageBuffer>("Failed to read x-Loader Image!"));
                return kStepError;
            }
            offset += chunk;
        }
        if (length == 0 || ComputeImageChecksum(image.bytes.get(), length) ==
                               ComputeImageChecksum(readBack.get(), length)) {
            m_xloaderDone = 1;
            return kStepDone;
        }

        const std::string carried = VersionText(image.bytes.get(), length);
        const std::string writer = VersionText(readBack.get(), length);
        // std::string orders by unsigned bytes, as strcmp does.
        if (carried.compare(writer) > 0) {
            WriteLogLine(FormatText("Old %s, programming %s", Logged(writer).c_str(), Logged(carried).c_str())
                             .c_str());
            WriteLogLine(FormatText("Sending XLoader %s...", row.name).c_str());
            SetDlgItemText(IDC_STATUS, FormatText("\n\nSending XLoader %s...", row.name));
            // A refusal leaves the writer in programming: the chain restarts it.
            const uint32_t rc = m_link.ProgramLoader(image.bytes.get(), length, m_link.m_machineType, 0);
            HideProgress();
            if (rc == 0)
                m_xloaderDone = 1;
            else
                m_updateStarted = 1;
            return kStepDone;
        }
        WriteLogLine(FormatText("Has newer version: %s then %s", Logged(writer).c_str(), Logged(carried).c_str())
                         .c_str());
        return kStepDone;
    }();
    m_link.ShowText(nullptr);
    return result;
}
