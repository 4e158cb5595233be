// write-bench: measures the write run of the real tool against a virtual transmitter.
//
//   write-bench latency MIB    three images of MIB MiB in a package: the time from the Start Writing
//                              click to the worker's start (everything the dialog prepares: workspace,
//                              decoys, unpacking, scan, image choice, secure copy), against 7za's
//                              extraction of the same package plus a plain copy of the image, run alone
//   write-bench memory MIB     the tool's peak working set after writing one image of MIB MiB
//
// Prints one line of figures; exits 1 when a step fails.
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "tests/bench/tool_session.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/support/window_driver.h"

using namespace vandrel::test;

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

// Incompressible content, different per tag, written in 1 MiB blocks.
bool WriteImage(const std::wstring& path, uint32_t mib, uint32_t tag) {
    vandrel::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
    if (!file) return false;
    std::string block(1 << 20, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull ^ tag;
    for (uint32_t m = 0; m < mib; ++m) {
        for (size_t i = 0; i < block.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            memcpy(&block[i], &state, 8);
        }
        DWORD written = 0;
        if (!::WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) ||
            written != block.size())
            return false;
    }
    return true;
}

int Latency(uint32_t mib) {
    TempDir content, work, raw;
    for (uint32_t v = 0; v < 3; ++v)
        if (!WriteImage(content / (L"fw_V" + std::to_wstring(v) + L".img"), mib, v)) return 1;
    const std::wstring package = work / L"bench.bin";
    if (MakePackage(content.path(), package, kPackagePassword, L"-mx0") != 0) return 1;

    // Alone: the same extraction, then a plain copy of the image.
    const LARGE_INTEGER rawStart = Now();
    if (RunInFolder(L"\"" + BinFolder() + L"test_7za.exe\" x \"" + package + L"\" -p" + kPackagePassword +
                        L" -y -o\"" + raw.path() + L"\"",
                    raw.path(), INFINITE) != 0)
        return 1;
    const LARGE_INTEGER extracted = Now();
    if (!::CopyFileW((raw / L"fw_V1.img").c_str(), (raw / L"copy.img").c_str(), FALSE)) return 1;
    const LARGE_INTEGER copied = Now();
    const double rawSeconds = Seconds(rawStart, copied);

    ToolSession tool;
    PluggedDevices devices;
    if (!StartTool(tool) || devices.Plug(L"--upgrade-ms 200").empty()) return 1;
    SetFirmwarePath(tool, package);
    // The dialog empties its message list just before it starts the worker, and its thread answers no
    // message while it prepares the run: the first empty answer marks the worker's start.
    HWND list = ::GetDlgItem(tool.dialog, 1003);
    auto lineCount = [&] {
        DWORD_PTR count = 0;
        ::SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 600000, &count);
        return count;
    };
    if (lineCount() == 0) {
        std::printf("latency: the message list should hold the start-up lines\n");
        return 1;
    }
    const LARGE_INTEGER click = Now();
    Click(tool.dialog, 1007);
    LARGE_INTEGER started{};
    bool shown = false;
    while (Seconds(click, Now()) < 600) {
        if (lineCount() == 0) {
            started = Now();
            shown = true;
            break;
        }
        ::Sleep(1);
    }
    std::wstring result;
    const bool finished = WaitForResult(tool, 600000, &result);
    CloseTool(tool);
    if (!shown || !finished || result != L"Write successful") {
        std::printf("latency: the write did not run through\n");
        return 1;
    }
    const double toolSeconds = Seconds(click, started);
    std::printf("latency: images 3 x %u MiB; click to worker start %.2f s; 7za alone %.2f s + copy %.2f s = %.2f s; "
                "ratio %.3f\n",
                mib, toolSeconds, Seconds(rawStart, extracted), Seconds(extracted, copied), rawSeconds,
                toolSeconds / rawSeconds);
    return 0;
}

int Memory(uint32_t mib) {
    TempDir content;
    const std::wstring image = content / L"bench.img";
    if (!WriteImage(image, mib, 7)) return 1;
    ToolSession tool;
    PluggedDevices devices;
    if (!StartTool(tool) || devices.Plug(L"--upgrade-ms 200").empty()) return 1;
    SetFirmwarePath(tool, image);
    Click(tool.dialog, 1007);
    std::wstring result;
    const bool finished = WaitForResult(tool, 600000, &result);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    const bool measured = ReadMemory(tool, &counters);
    CloseTool(tool);
    if (!finished || result != L"Write successful" || !measured) {
        std::printf("memory: the write did not run through\n");
        return 1;
    }
    std::printf("memory: image %u MiB; peak working set %.1f MiB\n", mib,
                static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::printf("usage: write-bench latency MIB | memory MIB\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    const uint32_t mib = static_cast<uint32_t>(_wtoi(argv[2]));
    UnplugAllVirtualDevices();
    RockusbServiceGuard service;
    if (!service.Install()) return 1;
    if (mode == L"latency") return Latency(mib);
    if (mode == L"memory") return Memory(mib);
    return 2;
}
