// Under Wine, the simulated writer as its USB driver would present it: a
// device interface of the writer's class, registered through SetupAPI and
// listed while its Linked value is 1, whose path is a symbolic link to a
// message-mode pipe. One connection at a time; one request per message, one
// reply per message. While the writer restarts or is unplugged, the
// interface is unlinked, the path removed and a connected handle broken, so
// that pending and later I/O fail as when a USB device goes away.
//
// On a real Windows PC, Plug and Play owns the device list: there this
// presents nothing a program would find.
#include "platform/win32/windows_headers.h"

#include <setupapi.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "simulator/presenter.h"

namespace sim {
namespace {

const GUID kWriterClass = {0x202E68C5, 0x5980, 0x4A60, {0xB7, 0x61, 0x77, 0xC4, 0xDE, 0x9D, 0x5D, 0xBF}};
const char kClassKey[] =
    "System\\CurrentControlSet\\Control\\DeviceClasses\\{202e68c5-5980-4a60-b761-77c4de9d5dbf}\\";
constexpr DWORD kPollMs = 20;
// A reply is waited on this long to be read; a program that neither reads
// nor closes is not waited for longer.
constexpr DWORD kDeliveryMs = 10000;

uint64_t NowMs() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch()).count());
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }  // ASCII names only

// The device interface: registered once (a later run reuses the entries),
// its path, and the value that lists it.
class InterfaceEntry {
public:
    // 0, or the system's error code.
    DWORD Register(const std::string& name) {
        HDEVINFO set = SetupDiCreateDeviceInfoList(&kWriterClass, nullptr);
        if (set == INVALID_HANDLE_VALUE) return GetLastError();
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        const std::string id = "ROOT\\ORVANE\\" + name;
        DWORD error = 0;
        if (SetupDiCreateDeviceInfoA(set, id.c_str(), &kWriterClass, nullptr, nullptr, 0, &device)) {
            if (!SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr)) error = GetLastError();
        } else if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS ||
                   !SetupDiOpenDeviceInfoA(set, id.c_str(), nullptr, 0, &device)) {
            error = GetLastError();
        }
        SP_DEVICE_INTERFACE_DATA iface{};
        iface.cbSize = sizeof iface;
        if (!error && !SetupDiCreateDeviceInterfaceA(set, &device, &kWriterClass, nullptr, 0, &iface))
            error = GetLastError();
        if (!error) {
            DWORD required = 0;
            SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &required, nullptr);
            std::vector<DWORD> buffer(required / sizeof(DWORD) + 2);
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
            detail->cbSize = sizeof *detail;
            if (SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, DWORD(buffer.size() * sizeof(DWORD)), nullptr,
                                                 nullptr))
                m_path = detail->DevicePath;
            else
                error = GetLastError();
        }
        SetupDiDestroyDeviceInfoList(set);
        if (!error && m_path.rfind("\\\\?\\", 0) != 0) error = ERROR_BAD_PATHNAME;
        return error;
    }
    const std::string& Path() const { return m_path; }
    bool SetLinked(bool linked) {
        const std::string key = std::string(kClassKey) + "##?#" + m_path.substr(4) + "\\#\\Control";
        HKEY h = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const DWORD value = linked ? 1 : 0;
        const bool ok = RegSetValueExA(h, "Linked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                       sizeof value) == ERROR_SUCCESS;
        RegCloseKey(h);
        return ok;
    }

private:
    std::string m_path;
};

struct CountedString {  // UNICODE_STRING
    USHORT length, maximumLength;
    PWSTR buffer;
};
struct ObjectAttributes {  // OBJECT_ATTRIBUTES
    ULONG length;
    HANDLE rootDirectory;
    CountedString* objectName;
    ULONG attributes;
    PVOID securityDescriptor, securityQualityOfService;
};
using CreateLinkFn = LONG(NTAPI*)(HANDLE*, ACCESS_MASK, ObjectAttributes*, CountedString*);
constexpr ULONG kObjCaseInsensitive = 0x40;
constexpr ACCESS_MASK kLinkAllAccess = 0xF0001;

// The path as an object of its own, pointing at the pipe; it is gone once
// its handle is closed. Null on failure.
HANDLE CreatePathLink(const std::string& devicePath, const std::string& pipe, LONG& status) {
    static const auto create = reinterpret_cast<CreateLinkFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateSymbolicLinkObject")));
    status = -1;
    if (!create) return nullptr;
    std::wstring name = L"\\??\\" + Wide(devicePath.substr(4));
    std::wstring target = L"\\Device\\NamedPipe\\" + Wide(pipe);
    CountedString n{USHORT(name.size() * 2), USHORT(name.size() * 2), name.data()};
    CountedString t{USHORT(target.size() * 2), USHORT(target.size() * 2), target.data()};
    ObjectAttributes attributes{sizeof attributes, nullptr, &n, kObjCaseInsensitive, nullptr, nullptr};
    HANDLE link = nullptr;
    status = create(&link, kLinkAllAccess, &attributes, &t);
    return status < 0 ? nullptr : link;
}

class Presenter {
public:
    Presenter(WriterModel& model, InterfaceEntry& entry, const ServeOptions& options)
        : m_model(model), m_entry(entry), m_name(options.name), m_trace(options.trace),
          m_pipeName("orvane-writer-" + options.name), m_buffer(protocol::kPacketBufferSize + 1024) {
        m_connect.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Presenter() {
        for (HANDLE e : {m_connect.hEvent, m_read.hEvent, m_write.hEvent}) CloseHandle(e);
    }

    int Run(std::atomic<bool>& stop) {
        uint64_t generation = m_model.Generation();
        int result = 0;
        while (!stop) {
            const bool present = m_model.Present();  // also drives the restart timer
            if (m_model.Generation() != generation) {
                generation = m_model.Generation();
                Withdraw(m_model.Unplugged() ? "unplugged" : "restarting");
            }
            if (!m_shown) {
                if (!present) {
                    Sleep(kPollMs);
                    continue;
                }
                if (!Show()) {
                    result = 1;
                    break;
                }
            }
            if (!m_connected) {
                if (WaitForSingleObject(m_connect.hEvent, kPollMs) == WAIT_OBJECT_0) Accept();
                continue;
            }
            DWORD wait = kPollMs;
            if (m_late) wait = DWORD(std::min<uint64_t>(kPollMs, m_late->dueMs > NowMs() ? m_late->dueMs - NowMs() : 0));
            if (WaitForSingleObject(m_read.hEvent, wait) == WAIT_OBJECT_0) ReadDone();
            if (m_late && m_connected && NowMs() >= m_late->dueMs) {
                Bytes bytes = std::move(m_late->bytes);
                m_late.reset();
                Send(bytes);
            }
        }
        Withdraw("stopped");
        m_entry.SetLinked(false);
        return result;
    }

private:
    struct LateReply {
        Bytes bytes;
        uint64_t dueMs;
    };

    void Trace(const std::string& text) {
        if (m_trace) *m_trace << "  device: " << text << std::endl;
    }

    // The pipe waiting for a program, the path to it, the interface listed.
    bool Show() {
        m_pipe = CreateNamedPipeA(("\\\\.\\pipe\\" + m_pipeName).c_str(),
                                  PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 0,
                                  DWORD(m_buffer.size()), 0, nullptr);
        if (m_pipe == INVALID_HANDLE_VALUE) {
            std::cerr << "orvane-writer-sim: cannot make the pipe " << m_pipeName << " (error " << GetLastError()
                      << "); is another copy presenting " << m_name << "?" << std::endl;
            return false;
        }
        LONG status = 0;
        m_link = CreatePathLink(m_entry.Path(), m_pipeName, status);
        if (!m_link) {
            std::cerr << "orvane-writer-sim: cannot make the path " << m_entry.Path() << " (status 0x" << std::hex
                      << status << std::dec << "); is another copy presenting " << m_name << "?" << std::endl;
            CloseHandle(m_pipe);
            m_pipe = INVALID_HANDLE_VALUE;
            return false;
        }
        StartConnect();
        m_shown = true;
        m_entry.SetLinked(true);
        Trace("linked " + m_entry.Path());
        if (!m_ready) {
            m_ready = true;
            std::cout << "ready: " << m_entry.Path() << std::endl;
        }
        return true;
    }

    // The writer goes away: unlisted first, so that a program that sees its
    // handle fail cannot find it again, then the path, then the connection.
    void Withdraw(const char* why) {
        if (!m_shown) return;
        m_entry.SetLinked(false);
        CloseHandle(m_link);
        m_link = nullptr;
        CancelIo(m_pipe);
        DisconnectNamedPipe(m_pipe);
        DWORD ignored = 0;
        if (!m_connected) GetOverlappedResult(m_pipe, &m_connect, &ignored, TRUE);
        if (m_reading) GetOverlappedResult(m_pipe, &m_read, &ignored, TRUE);
        CloseHandle(m_pipe);
        m_pipe = INVALID_HANDLE_VALUE;
        if (m_connected) Trace("connection broken");
        m_shown = m_connected = m_reading = false;
        m_late.reset();
        Trace(std::string("unlinked (") + why + ")");
    }

    void StartConnect() {
        ResetEvent(m_connect.hEvent);
        if (!ConnectNamedPipe(m_pipe, &m_connect) && GetLastError() == ERROR_PIPE_CONNECTED)
            SetEvent(m_connect.hEvent);
    }

    void Accept() {
        DWORD ignored = 0;
        if (!GetOverlappedResult(m_pipe, &m_connect, &ignored, FALSE) && GetLastError() != ERROR_PIPE_CONNECTED) {
            DisconnectNamedPipe(m_pipe);
            StartConnect();
            return;
        }
        m_connected = true;
        Trace("connected");
        StartRead();
    }

    void StartRead() {
        ResetEvent(m_read.hEvent);
        m_reading = true;
        if (!ReadFile(m_pipe, m_buffer.data(), DWORD(m_buffer.size()), nullptr, &m_read)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) SetEvent(m_read.hEvent);
        }
    }

    void ReadDone() {
        DWORD got = 0;
        m_reading = false;
        if (!GetOverlappedResult(m_pipe, &m_read, &got, FALSE)) {
            if (GetLastError() == ERROR_MORE_DATA) {
                // Longer than any request: the rest is read and the whole dropped.
                m_oversized = true;
                StartRead();
                return;
            }
            // The program closed its handle: ready for the next one.
            DisconnectNamedPipe(m_pipe);
            m_connected = false;
            m_late.reset();
            Trace("disconnected");
            StartConnect();
            return;
        }
        const bool drop = m_oversized;
        m_oversized = false;
        if (!drop) {
            Reply reply = m_model.Handle(Bytes(m_buffer.begin(), m_buffer.begin() + got));
            if (reply.bytes) {
                if (reply.delayMs)
                    m_late = LateReply{std::move(*reply.bytes), NowMs() + reply.delayMs};
                else
                    Send(*reply.bytes);
            }
        }
        StartRead();
    }

    // Writes one reply and waits until it has been read (the pipe keeps no
    // buffer of its own), so that a restart that follows cannot drop it.
    void Send(const Bytes& bytes) {
        ResetEvent(m_write.hEvent);
        DWORD put = 0;
        if (!WriteFile(m_pipe, bytes.data(), DWORD(bytes.size()), nullptr, &m_write) &&
            GetLastError() != ERROR_IO_PENDING)
            return;  // the program is gone
        if (WaitForSingleObject(m_write.hEvent, kDeliveryMs) != WAIT_OBJECT_0) CancelIoEx(m_pipe, &m_write);
        GetOverlappedResult(m_pipe, &m_write, &put, TRUE);
    }

    WriterModel& m_model;
    InterfaceEntry& m_entry;
    std::string m_name;
    std::ostream* m_trace;
    std::string m_pipeName;
    std::vector<uint8_t> m_buffer;
    HANDLE m_pipe = INVALID_HANDLE_VALUE;
    HANDLE m_link = nullptr;
    OVERLAPPED m_connect{}, m_read{}, m_write{};
    bool m_shown = false, m_connected = false, m_reading = false, m_ready = false, m_oversized = false;
    std::optional<LateReply> m_late;
};

}  // namespace

int PresentWriter(WriterModel& model, const ServeOptions& options, std::atomic<bool>& stop) {
    InterfaceEntry entry;
    if (const DWORD error = entry.Register(options.name)) {
        std::cerr << "orvane-writer-sim: cannot register the device ROOT\\ORVANE\\" << options.name << ": error "
                  << error << std::endl;
        return 1;
    }
    Presenter presenter(model, entry, options);
    return presenter.Run(stop);
}

}  // namespace sim
