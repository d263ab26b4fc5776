// The keyboard scanner: an Intel HEX image for the sensor board behind the
// writer, reached through sensor-board exchanges. The range is written only
// when the board's checksum of it differs from ours.
#include <cstring>
#include <memory>
#include <new>

#include "app/message_format.h"
#include "app/update_dlg.h"
#include "firmware/image_checksum.h"
#include "firmware/scanner_image.h"
#include "resources/resource.h"

namespace {
constexpr uint32_t kScannerImageBuffer = 0x80100;
constexpr uint32_t kScannerChunk = 512;
constexpr uint32_t kExchangeBuffer = 1024;
constexpr int kStageAttempts = 10;
constexpr uint32_t kCheckRetryPauseMs = 500;
constexpr uint32_t kScannerVersionForced = 0xFFFFFFFF;
const char kScannerDisplay[] = "Updating Keyboard Scanner";
const char kScannerFailedDisplay[] = "Failed to update Keyboard Scanner";

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// The board sends its checksum most significant byte first.
uint32_t BoardChecksum(const uint8_t* answer) {
    return uint32_t(answer[0]) << 24 | uint32_t(answer[1]) << 16 | uint32_t(answer[2]) << 8 | answer[3];
}
}  // namespace

int CQuonUpdate100Dlg::UpdateScanner() {
    const MachineInfo& row = WriterRow();
    if (m_link.m_scannerVersion != kScannerVersionForced && m_link.m_scannerVersion >= row.scannerVersion)
        return kStepDone;
    if (row.scannerResource == 0) return kStepDone;

    m_link.ShowText(kScannerDisplay);
    WriteLogLine(FormatText("Sending KeySensor Board Code to %s...", row.name).c_str());
    SetDlgItemText(IDC_STATUS, FormatText("\n\nSending Sensor Board Code to %s...", row.name));

    uint32_t sentLength = 0, end = 0, crc = 0;
    std::unique_ptr<uint8_t[]> image;
    {
        DecodedImage text;
        if (const int rc = LoadStepImage(row.scannerResource, kDecodeSlack, text)) return rc;
        image.reset(new (std::nothrow) uint8_t[kScannerImageBuffer]);
        if (!image) {
            ReportNoMemory(false);
            return kStepError;
        }
        const int32_t parsed =
            ParseScannerWindow(reinterpret_cast<const char*>(text.bytes.get()), text.length, image.get());
        if (parsed <= 0) {
            m_link.ShowText(kScannerFailedDisplay);
            ReportError("Error decoding data...");
            return kStepError;
        }
    }
    end = ScannerSentEnd(image.get());
    sentLength = end - kScannerFirstSent;
    crc = ComputeImageChecksum(image.get() + kScannerFirstSent, sentLength);

    uint8_t request[kExchangeBuffer];
    uint8_t answer[kExchangeBuffer];
    uint32_t answerLength = 0;
    const uint8_t begin = 0, finish = 1;
    uint8_t checksumRequest[8];
    PutLe32(checksumRequest, kScannerBase + kScannerFirstSent);
    PutLe32(checksumRequest + 4, sentLength);
    auto exchange = [&](uint32_t sub, const uint8_t* data, uint32_t count) {
        return m_link.SensorBoardExchange(sub, data, count, answer, sizeof answer, &answerLength);
    };
    auto boardSum = [&](bool& ok) {
        ok = exchange(protocol::kScannerSubChecksum, checksumRequest, sizeof checksumRequest) == 0 &&
             answerLength == 4;
        return ok ? BoardChecksum(answer) : 0;
    };

    enum class Stage { kCheck, kProgram, kFinish, kFailed } stage = Stage::kFailed;
    for (int attempt = 1; attempt <= kStageAttempts; ++attempt) {
        bool ok = exchange(protocol::kScannerSubControl, &begin, 1) == 0;
        const uint32_t sum = ok ? boardSum(ok) : 0;
        if (ok) {
            stage = sum == crc ? Stage::kFinish : Stage::kProgram;
            break;
        }
        if (attempt == kStageAttempts) break;
        System().Sleep(kCheckRetryPauseMs);
        m_link.ShowText(kScannerDisplay);
    }

    if (stage == Stage::kProgram) {
        stage = Stage::kFailed;
        for (int attempt = 1; attempt <= kStageAttempts && stage == Stage::kFailed; ++attempt) {
            if (exchange(protocol::kScannerSubControl, &begin, 1) != 0) continue;
            if (answerLength != 0 && answer[0] != 0) continue;
            bool written = true;
            ShowProgress(0, sentLength);
            for (uint32_t offset = kScannerFirstSent; offset < end && written;) {
                const uint32_t chunk = end - offset < kScannerChunk ? end - offset : kScannerChunk;
                PutLe32(request, kScannerBase + offset);
                std::memcpy(request + 4, image.get() + offset, chunk);
                written = m_link.SensorBoardExchange(protocol::kScannerSubWrite, request, chunk + 4, nullptr,
                                                     0, nullptr) == 0;
                offset += chunk;
                if (written) ShowProgress(offset - kScannerFirstSent, sentLength);
            }
            HideProgress();
            if (!written) continue;
            bool ok = false;
            if (boardSum(ok) == crc && ok) stage = Stage::kFinish;
        }
    }

    if (stage == Stage::kFinish) {
        for (int attempt = 1; attempt <= kStageAttempts; ++attempt)
            if (exchange(protocol::kScannerSubControl, &finish, 1) == 0) return kStepDone;
    }

    m_link.ShowText(kScannerFailedDisplay);
    image.reset();
    ReportError("Error with updating sensor board..");
    return kStepError;
}
