// The shipped exe against DLL planting and its hardening flags:
// - a stand-in VERSION.dll beside a copy of the exe, with the loader told to
//   prefer a DLL found beside the program (as Windows searches; Wine's
//   per-program DLL overrides), is loaded and called by an exe that imports
//   VERSION.dll, and never called by OrvaneUpdate.exe, which still reads its
//   version record. On Windows it must not even be loaded; under Wine it is,
//   because Wine's own user32 imports VERSION.dll, which Windows' does not;
// - the exe's header has ASLR, DEP and high-entropy addresses on, imports no
//   VERSION.dll and calls DisableProcessWindowsGhosting.
//   dll_planting_check ORVANEUPDATE.EXE OLD_WAY.EXE PLANTED.DLL
#include "platform/win32/windows_headers.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/wine/wine_check.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// Tells Wine to prefer a VERSION.dll found beside `exeName`, as Windows
// searches the program's folder first; `on` false takes that back.
void PreferLocalVersionDll(const std::string& exeName, bool on) {
    const std::string key = "Software\\Wine\\AppDefaults\\" + exeName + "\\DllOverrides";
    if (!on) {
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
        return;
    }
    HKEY h = nullptr;
    CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) ==
          ERROR_SUCCESS);
    const char order[] = "native,builtin";
    if (h) RegSetValueExA(h, "version", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
    if (h) RegCloseKey(h);
}

// Runs `exe` with the loader preferring DLLs beside it; `window` is a caption
// to wait for and close, or null to wait for the program to end.
void RunPreferringLocalDlls(const std::string& exe, const std::string& exeName, const char* window) {
    PreferLocalVersionDll(exeName, true);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + exe + "\"";
    CHECK(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    if (!pi.hProcess) return PreferLocalVersionDll(exeName, false);
    if (window) {
        HWND main = WaitForWindow(window, 45000);
        CHECK(main != nullptr);  // the caption carries the build: the version record was read
        if (main) PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    const bool ended = WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0;
    CHECK(ended);
    if (!ended) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    PreferLocalVersionDll(exeName, false);
}

// What the PE header and import table of a file say.
struct PeFacts {
    uint16_t dllCharacteristics = 0;
    std::vector<std::string> dlls;       // lower case
    std::vector<std::string> functions;  // imported by name
};

bool ReadPe(const std::string& path, PeFacts& facts) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto at = [&](size_t offset, size_t size) { return offset <= file.size() && size <= file.size() - offset; };
    if (!at(0, sizeof(IMAGE_DOS_HEADER))) return false;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    if (!at(size_t(dos->e_lfanew), sizeof(IMAGE_NT_HEADERS64))) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file.data() + dos->e_lfanew);
    if (nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return false;
    facts.dllCharacteristics = nt->OptionalHeader.DllCharacteristics;
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto offsetOf = [&](uint32_t rva) -> size_t {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return file.size();
    };
    auto text = [&](size_t offset) {
        std::string s;
        while (offset < file.size() && file[offset]) s += char(file[offset++]);
        return s;
    };
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (size_t d = offsetOf(imports.VirtualAddress); at(d, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(file.data() + d);
        if (desc->Name == 0) break;
        facts.dlls.push_back(Lower(text(offsetOf(desc->Name))));
        for (size_t t = offsetOf(desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk);
             at(t, 8); t += 8) {
            uint64_t thunk = 0;
            memcpy(&thunk, file.data() + t, 8);
            if (thunk == 0) break;
            if (!(thunk & IMAGE_ORDINAL_FLAG64)) facts.functions.push_back(text(offsetOf(uint32_t(thunk)) + 2));
        }
    }
    return true;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& s : list)
        if (s == item) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::printf("usage: dll_planting_check ORVANEUPDATE.EXE OLD_WAY.EXE PLANTED.DLL\n");
        return 2;
    }
    PeFacts facts;
    CHECK(ReadPe(argv[1], facts));
    CHECK(facts.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    CHECK(facts.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    CHECK(facts.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
    CHECK(!Contains(facts.dlls, "version.dll"));
    CHECK(Contains(facts.functions, "DisableProcessWindowsGhosting"));

    // A downloads folder with the exe copies and the planted DLL in it.
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "orvane-planting-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "\\OrvaneUpdate.exe", oldWay = folder + "\\old_way.exe",
                      dll = folder + "\\version.dll", loaded = folder + "\\planted-dll-loaded.txt",
                      called = folder + "\\planted-dll-called.txt";
    CHECK(CopyFileA(argv[1], exe.c_str(), FALSE));
    CHECK(CopyFileA(argv[2], oldWay.c_str(), FALSE));
    CHECK(CopyFileA(argv[3], dll.c_str(), FALSE));

    auto exists = [](const std::string& f) { return GetFileAttributesA(f.c_str()) != INVALID_FILE_ATTRIBUTES; };
    RunPreferringLocalDlls(oldWay, "old_way.exe", nullptr);
    CHECK(exists(loaded));  // the setup does plant
    CHECK(exists(called));
    DeleteFileA(loaded.c_str());
    DeleteFileA(called.c_str());

    RunPreferringLocalDlls(exe, "OrvaneUpdate.exe", "Orvane Update - Build:  35680");
    CHECK(!exists(called));
    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    if (!wine) CHECK(!exists(loaded));

    for (const std::string& f : {exe, oldWay, dll, loaded, called}) DeleteFileA(f.c_str());
    RemoveDirectoryA(folder.c_str());
    return CheckSummary("dll_planting_check");
}
