// write-soak: many writes in a row through the real tool's window against a virtual transmitter.
//
//   write-soak N    N writes in one session, then N/10 writes each with a fresh start of the tool
//
// After every run it checks the result box, the SHA-256 of what the device holds against the image for
// its hardware version, that nothing is left in the workspace, and the tool's memory; it prints one line
// per run and a summary. Exits 1 when any run went wrong.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/sha256.h"
#include "tool-driver/tool_driver.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tool_folders.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/workspace/workspace_test_support.h"
#include "resources/resource.h"

using namespace vandrel::test;
using namespace vandrel::driving;
using vandrel::kPackagePassword;

namespace {

constexpr size_t kImageBytes = 4u << 20;

// Different, incompressible-looking content per hardware version.
std::string ImageFor(int version) {
    std::string bytes(kImageBytes, '\0');
    uint32_t state = 0x9E3779B9u * static_cast<uint32_t>(version + 1);
    for (char& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::wstring Sha256Of(const std::string& bytes) {
    vandrel::Sha256 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.FinishHex();
}

struct Totals {
    int runs = 0, successful = 0, rightImage = 0, leftovers = 0;
    double firstMiB = 0, lastMiB = 0, maxMiB = 0;
};

// One write through the window of a running tool into a freshly plugged transmitter (so what it holds
// afterwards is this run's doing, and a device left unbound by the previous close is replugged as a user
// would); prints its line and adds it to the totals.
void RunOnce(ToolDriver& tool, const std::wstring& package, PluggedDevices& devices, std::wstring& device,
             const std::wstring& expected, const char* kind, int number, int of, Totals& totals) {
    if (!device.empty()) devices.Unplug(device);
    device = devices.Plug(L"--pid 0x110B --upgrade-ms 300");
    const ULONGLONG start = ::GetTickCount64();
    tool.SetFirmwarePath(package);
    MessageBoxInfo box;
    const bool finished = tool.Click(IDC_START_WRITING) && tool.NextBox(&box, 120000);
    const std::wstring result = box.text;
    const double seconds = static_cast<double>(::GetTickCount64() - start) / 1000.0;

    ListedDevice listed;
    const bool right = FindListedDevice(device, listed) && listed.written &&
                       std::wstring(listed.sha256.begin(), listed.sha256.end()) == expected;
    const auto left = ListEntries(WorkspaceBase());
    PROCESS_MEMORY_COUNTERS_EX memory{};
    const double mib = tool.ReadMemory(&memory) ? static_cast<double>(memory.WorkingSetSize) / (1 << 20) : 0;

    ++totals.runs;
    totals.successful += finished && result == L"Write successful";
    totals.rightImage += right;
    totals.leftovers += !left.empty();
    if (totals.runs == 1) totals.firstMiB = mib;
    totals.lastMiB = mib;
    totals.maxMiB = std::max(totals.maxMiB, mib);
    std::printf("soak: run %d/%d (%s): %ls in %.2f s; flash %s; workspace %s; working set %.1f MiB\n", number, of,
                kind, finished ? result.c_str() : L"no result", seconds,
                right ? "holds the V1 image" : "WRONG", left.empty() ? "empty" : "NOT EMPTY", mib);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int sameSession = argc == 2 ? _wtoi(argv[1]) : 0;
    if (sameSession <= 0) {
        std::printf("usage: write-soak N\n");
        return 2;
    }
    const int freshStarts = std::max(1, sameSession / 10);

    TempDir content, work;
    std::wstring expected;
    FileTree images;
    for (int version = 0; version < 3; ++version) {
        const std::string bytes = ImageFor(version);
        images[L"fw_V" + std::to_wstring(version) + L".img"] = bytes;
        if (version == 1) expected = Sha256Of(bytes);
    }
    const std::wstring package = work / L"soak.bin";
    if (!WriteTree(content.path(), images) || MakePackage(content.path(), package, kPackagePassword) != 0) {
        std::printf("soak: the package could not be made\n");
        return 1;
    }

    UnplugAllVirtualDevices();
    RockusbServiceGuard service;
    PluggedDevices devices;
    std::wstring device;
    if (!service.Install()) {
        std::printf("soak: the rockusb service entry could not be made\n");
        return 1;
    }

    Totals totals;
    const std::wstring exe = BinFolder() + L"Vandrel.exe";
    std::unique_ptr<ToolDriver> tool = ToolDriver::StartReady(exe);
    if (!tool) return 1;
    for (int i = 1; i <= sameSession; ++i) RunOnce(*tool, package, devices, device, expected, "same session", i, sameSession, totals);
    tool->CloseOrEnd(60000);
    for (int i = 1; i <= freshStarts; ++i) {
        std::unique_ptr<ToolDriver> fresh = ToolDriver::StartReady(exe);
        if (!fresh) return 1;
        RunOnce(*fresh, package, devices, device, expected, "fresh start", i, freshStarts, totals);
        fresh->CloseOrEnd(60000);
    }

    const bool clean = totals.successful == totals.runs && totals.rightImage == totals.runs && totals.leftovers == 0;
    std::printf("soak: %d runs (%d in one session, %d with fresh starts): %d \"Write successful\", %d with the right "
                "SHA-256, %d with files left; working set first %.1f MiB, last %.1f MiB, highest %.1f MiB: %s\n",
                totals.runs, sameSession, freshStarts, totals.successful, totals.rightImage, totals.leftovers,
                totals.firstMiB, totals.lastMiB, totals.maxMiB, clean ? "clean" : "FAULTS");
    return clean ? 0 : 1;
}
