// A whole program against the simulated writer on a virtual clock: the
// scripted window, the virtual system, the release's resources and the
// in-process writer.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/update_dlg.h"
#ifdef _WIN32
#include "platform/win32/win32_platform.h"
#else
#include "platform/posix/posix_resources.h"
#endif
#include "platform/testing/callback_device.h"
#include "platform/testing/scripted_window.h"
#include "platform/testing/virtual_system.h"
#include "simulator/in_process_writer.h"
#include "simulator/writer_setup.h"

namespace testsupport {

// A fresh folder under the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFileText(const std::string& path);

// The program's own resources: linked-in blobs on POSIX, the test exe's
// module resources (built from the program's .rc) on Windows.
#ifdef _WIN32
using ReleaseResources = platform::win32::Win32Resources;
#else
using ReleaseResources = platform::posix::PosixResources;
#endif

// The release's containers, plus containers a test adds under its own ids.
class TestResources : public ReleaseResources {
public:
    // Packs `image` and serves it as RCDATA `id`.
    void Add(uint32_t id, const std::vector<uint8_t>& image);
    bool FindRcData(uint32_t id, const uint8_t*& data, uint32_t& size) override;

private:
    std::map<uint32_t, std::vector<uint8_t>> m_extra;
};

class WriterFixture : public ::testing::Test {
protected:
    WriterFixture();

    // Builds the writer from `setup` (call before the first press).
    void MakeWriter(const sim::WriterSetup& setup);
    void MakeDefaultWriter() { MakeWriter(sim::WriterSetup{}); }
    // Opens the dialog as the window does at start.
    void StartDialog();
    std::string Log() const { return ReadFileText(docs.File("QXUpdate.log")); }
    // The PC's local seconds as the program computes them.
    uint32_t PcLocalNow();

    platform::testing::ScriptedWindow window;
    platform::testing::VirtualSystem system;
    TestResources resources;
    TempDir docs;
    std::unique_ptr<sim::WriterModel> writer;
    std::unique_ptr<sim::InProcessWriter> endpoint;
    std::unique_ptr<platform::testing::CallbackDeviceProvider> devices;
    std::unique_ptr<platform::Platform> platform;
    std::unique_ptr<CQuonUpdate100Dlg> dialog;
};

}  // namespace testsupport
