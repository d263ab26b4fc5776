// SetupAPI discovery and device file I/O.
//
// The handle is opened for overlapped I/O so that a read can be bounded:
// it waits kReadTimeoutMs, then is cancelled and counts as no reply.
#include "platform/win32/windows_headers.h"
#include <setupapi.h>

#include <cstdlib>

#include "platform/win32/system_dll.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

GUID ToGuid(const Guid& g) {
    GUID out;
    out.Data1 = g.data1;
    out.Data2 = g.data2;
    out.Data3 = g.data3;
    for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
    return out;
}

// SetupAPI, loaded from the system folder at run time: imported at build time,
// its own dependencies (VERSION.dll among them on some systems) would be
// looked for beside the exe first, before the program could stop that.
struct SetupApi {
    SetupApi() : module(LoadSystemDll("setupapi.dll")) {
        if (!module) return;
        getClassDevs = reinterpret_cast<decltype(getClassDevs)>(Find("SetupDiGetClassDevsA"));
        enumInterfaces = reinterpret_cast<decltype(enumInterfaces)>(Find("SetupDiEnumDeviceInterfaces"));
        getDetail = reinterpret_cast<decltype(getDetail)>(Find("SetupDiGetDeviceInterfaceDetailA"));
        destroyList = reinterpret_cast<decltype(destroyList)>(Find("SetupDiDestroyDeviceInfoList"));
    }
    bool Ready() const { return getClassDevs && enumInterfaces && getDetail && destroyList; }
    void* Find(const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); }

    HMODULE module;
    decltype(&SetupDiGetClassDevsA) getClassDevs = nullptr;
    decltype(&SetupDiEnumDeviceInterfaces) enumInterfaces = nullptr;
    decltype(&SetupDiGetDeviceInterfaceDetailA) getDetail = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) destroyList = nullptr;
};

const SetupApi& Api() {
    static const SetupApi api;  // kept for the life of the program
    return api;
}

// The device information set of one interface class, destroyed with its holder.
class DeviceInfoList {
public:
    explicit DeviceInfoList(const GUID& interfaceClass) : m_class(interfaceClass) {
        if (Api().Ready())
            m_set = Api().getClassDevs(&m_class, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    }
    ~DeviceInfoList() {
        if (m_set != INVALID_HANDLE_VALUE) Api().destroyList(m_set);
    }
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;
    bool Valid() const { return m_set != INVALID_HANDLE_VALUE; }
    HDEVINFO Set() const { return m_set; }
    const GUID& Class() const { return m_class; }

private:
    HDEVINFO m_set = INVALID_HANDLE_VALUE;
    GUID m_class;
};

// SetupAPI checks the records' size fields against its own layout: 28 and
// 5 for 32-bit callers (the detail's size field counts one path character,
// packed), 32 and 8 for 64-bit ones. The types give the right pair; these
// hold each build to it.
#ifdef _WIN64
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32 && sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8,
              "64-bit SetupAPI record sizes");
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28 && sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5,
              "32-bit SetupAPI record sizes");
#endif

// One member of the set and its detail buffer, which holds the device path.
class DeviceInterface {
public:
    explicit DeviceInterface(const DeviceInfoList& list) : m_list(list) {
        m_data.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    }
    ~DeviceInterface() { std::free(m_detail); }
    DeviceInterface(const DeviceInterface&) = delete;
    DeviceInterface& operator=(const DeviceInterface&) = delete;

    bool Enumerate(DWORD member) {
        return Api().enumInterfaces(m_list.Set(), nullptr, &m_list.Class(), member, &m_data) != FALSE;
    }
    // 0 when the path was read, else the system's code.
    DWORD ReadDetail() {
        DWORD required = 0;
        Api().getDetail(m_list.Set(), &m_data, nullptr, 0, &required, nullptr);
        DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) return error;
        m_detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::malloc(required));
        if (!m_detail) return ERROR_NOT_ENOUGH_MEMORY;
        m_detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (Api().getDetail(m_list.Set(), &m_data, m_detail, required, nullptr, nullptr))
            return 0;
        error = GetLastError();
        std::free(m_detail);
        m_detail = nullptr;
        return error;
    }
    const char* Path() const { return m_detail ? m_detail->DevicePath : nullptr; }

private:
    const DeviceInfoList& m_list;
    SP_DEVICE_INTERFACE_DATA m_data{};
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* m_detail = nullptr;
};

class FileDevice : public Device {
public:
    FileDevice(HANDLE h, uint32_t timeoutMs) : m_handle(h), m_timeoutMs(timeoutMs) {
        m_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~FileDevice() override {
        Close();
        if (m_event) CloseHandle(m_event);
    }

    uint32_t Write(const uint8_t* data, uint32_t size) override {
        DWORD written = 0;
        if (!Complete(WriteFile(m_handle, data, size, nullptr, Overlapped()), m_timeoutMs, written))
            return 0;
        return written;
    }
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override {
        DWORD read = 0;
        Complete(ReadFile(m_handle, buffer, capacity, nullptr, Overlapped()), m_timeoutMs, read);
        // The rest of a longer reply would be read as the next one.
        return m_moreData ? 0 : read;
    }
    void Control(uint32_t code) override {
        DWORD returned = 0;
        Complete(DeviceIoControl(m_handle, code, nullptr, 0, nullptr, 0, nullptr, Overlapped()),
                 m_timeoutMs, returned);
    }
    uint32_t Close() override {
        if (m_handle == INVALID_HANDLE_VALUE) return 0;
        const BOOL ok = CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return ok ? 0 : GetLastError();
    }

private:
    OVERLAPPED* Overlapped() {
        ZeroMemory(&m_overlapped, sizeof m_overlapped);
        ResetEvent(m_event);
        m_overlapped.hEvent = m_event;
        return &m_overlapped;
    }
    // Waits for the operation; cancels it when the bound runs out. A message
    // longer than the buffer delivers what fitted and sets m_moreData.
    bool Complete(BOOL started, uint32_t timeoutMs, DWORD& transferred) {
        transferred = 0;
        m_moreData = false;
        if (!started) {
            const DWORD error = GetLastError();
            if (error == ERROR_MORE_DATA) m_moreData = true;
            if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) return false;
            if (error == ERROR_IO_PENDING && WaitForSingleObject(m_event, timeoutMs) != WAIT_OBJECT_0) {
                CancelIo(m_handle);
                GetOverlappedResult(m_handle, &m_overlapped, &transferred, TRUE);
                transferred = 0;
                return false;
            }
        }
        if (!GetOverlappedResult(m_handle, &m_overlapped, &transferred, TRUE)) {
            if (GetLastError() != ERROR_MORE_DATA) return transferred != 0;
            m_moreData = true;
        }
        return true;
    }

    bool m_moreData = false;
    HANDLE m_handle;
    HANDLE m_event = nullptr;
    OVERLAPPED m_overlapped{};
    uint32_t m_timeoutMs;
};

}  // namespace

std::unique_ptr<Device> OpenDevicePath(const std::string& path, uint32_t& error, uint32_t readTimeoutMs) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return nullptr;
    }
    // A message-mode pipe (the test writer) must be read by message.
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    error = 0;
    return std::make_unique<FileDevice>(h, readTimeoutMs);
}

std::unique_ptr<Device> SetupApiDeviceProvider::OpenDeviceInterface(const Guid& interfaceClass,
                                                                    uint32_t member, uint32_t& error) {
    DeviceInfoList list(ToGuid(interfaceClass));
    if (!list.Valid()) {
        error = GetLastError();
        if (error == 0) error = ERROR_MOD_NOT_FOUND;  // SetupAPI could not be loaded
        return nullptr;
    }
    DeviceInterface device(list);
    if (!device.Enumerate(member)) {
        error = GetLastError();  // no writer present: the ordinary outcome
        if (error == 0) error = ERROR_NO_MORE_ITEMS;
        return nullptr;
    }
    error = device.ReadDetail();
    if (error != 0) return nullptr;
    return OpenDevicePath(device.Path(), error);
}

}  // namespace platform::win32
