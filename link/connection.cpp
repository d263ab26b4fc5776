// Finding, opening and closing the writer.
#include "link/quon_usb.h"

const platform::Guid WRITER_INTERFACE_GUID = {
    0x202E68C5, 0x5980, 0x4A60, {0xB7, 0x61, 0x77, 0xC4, 0xDE, 0x9D, 0x5D, 0xBF}};

namespace {
constexpr uint32_t kCloseDelayMs = 2000;
}

CQuonUsb::CQuonUsb(platform::DeviceProvider& devices, platform::System& system,
                   platform::WindowBackend* window)
    : m_sequence(0), m_devices(devices), m_system(system), m_window(window) {}

CQuonUsb::~CQuonUsb() {
    if (IsOpen()) Close();
}

uint32_t CQuonUsb::Connect() {
    if (IsOpen()) return 0;
    uint32_t error = 0;
    // Only the first present writer is ever considered.
    m_handle = m_devices.OpenDeviceInterface(WRITER_INTERFACE_GUID, 0, error);
    if (!m_handle && error == 0) error = 1;  // a backend that failed must not look like success
    if (m_handle) error = 0;
    return error;
}

uint32_t CQuonUsb::Close() {
    if (!IsOpen()) return 0;
    // The writer's driver needs this pause before its handle goes.
    m_system.Sleep(kCloseDelayMs);
    const uint32_t result = m_handle->Close();
    m_handle.reset();
    return result;
}
