// Read a writer memory region back, compare it with the carried image, and
// erase and rewrite it on a difference; used by the font and WiFi steps.
#include <cstring>
#include <memory>
#include <new>

#include "app/message_format.h"
#include "app/update_dlg.h"
#include "resources/resource.h"

namespace {
constexpr int kMaxChecks = 3;
constexpr uint32_t kReadParam = 4;
}  // namespace

int CQuonUpdate100Dlg::UpdateRegionImage(uint32_t resourceId, uint32_t regionId, const RegionTexts& texts,
                                         int sizeZeroResult) {
    DecodedImage image;
    if (const int rc = LoadStepImage(resourceId, kDecodeSlack, image)) return rc;
    return VerifyAndRewriteRegion(regionId, image.bytes.get(), image.length, texts, sizeZeroResult);
}

int CQuonUpdate100Dlg::ReportLostRegionQuery() {
    ReportError(FormatText("Unable to program your writer.  Error Code %d", int(kNoValidReply)));
    return kStepFailed;
}

int CQuonUpdate100Dlg::VerifyAndRewriteRegion(uint32_t regionId, const uint8_t* image,
                                              uint32_t length, const RegionTexts& texts,
                                              int sizeZeroResult) {
    std::unique_ptr<uint8_t[]> readBack(new (std::nothrow) uint8_t[length ? length : 1]);
    if (!readBack) {
        ReportNoMemory(false);
        return kStepError;
    }
    const std::string name = ModelName();
    // A block size of 0 would never advance; the link's largest payload stands in.
    const uint32_t block = m_link.m_blockSize ? m_link.m_blockSize : protocol::kMaxPayload;
    for (int checks = 1;; ++checks) {
        m_link.ShowText(texts.checkDisplay);
        WriteLogLine(FormatText(texts.checkLog, name.c_str()).c_str());
        SetDlgItemText(IDC_STATUS, FormatText(texts.checkStatus, name.c_str()));
        uint32_t size = 0;
        bool answered = false;
        uint32_t address = m_link.QueryRegion(regionId, &size, &answered);
        // Size 0 from a writer that answered means it has no such region; no
        // answer means it is gone, and that must not end the update silently.
        if (!answered) return ReportLostRegionQuery();
        if (size == 0) return sizeZeroResult;

        // A failed read makes the check differ: unread bytes are never compared.
        bool complete = true;
        ShowProgress(0, length);
        for (uint32_t offset = 0; offset < length && complete;) {
            const uint32_t chunk = length - offset < block ? length - offset : block;
            complete = m_link.ReadMemoryBlock(address + offset, chunk, readBack.get() + offset, kReadParam);
            offset += chunk;
            if (complete) ShowProgress(offset, length);
        }
        HideProgress();
        if (complete && (length == 0 || std::memcmp(readBack.get(), image, length) == 0)) return kStepDone;

        if (checks == kMaxChecks) {
            m_link.ShowText(texts.failureDisplay);
            ReportError("Unable to program your writer.  Check if a job is open.");
            return kStepRegionDiffers;
        }

        m_link.ShowText(texts.rewriteDisplay);
        WriteLogLine(FormatText(texts.rewriteLog, name.c_str()).c_str());
        SetDlgItemText(IDC_STATUS, FormatText(texts.rewriteStatus, name.c_str()));
        address = m_link.QueryRegion(regionId, &size, &answered);
        if (!answered) return ReportLostRegionQuery();
        if (size == 0 || !m_link.EraseRegion(address, size)) continue;
        ShowProgress(0, length);
        for (uint32_t offset = 0; offset < length;) {
            const uint32_t chunk = length - offset < block ? length - offset : block;
            if (!m_link.WriteMemoryBlock(image + offset, address + offset, chunk)) break;
            offset += chunk;
            ShowProgress(offset, length);
        }
        HideProgress();
    }
}
