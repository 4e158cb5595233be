// write-bench: measures the real tool against a virtual transmitter, with the tool's own timestamps
// (the phase marks it publishes) beside the raw work done on the same files in the same run.
//
//   write-bench latency MIB [ROUNDS]
//                             three images of MIB MiB in a package, ROUNDS writes (5): where the time goes
//                             from the Start Writing click to the worker's start, phase by phase, against 7za
//                             alone, a plain copy and its flush (medians); the copy's throughput against CopyFileW;
//                             the longest time the dialog did not answer, from the click to the result;
//                             the start to the first "[Status]" line (warm); the close after the write
//   write-bench memory MIB    the tool's peak working set after writing one image of MIB MiB
//
// Prints its figures; exits 1 when a step fails.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "common/hidden_process.h"
#include "common/phase_marks.h"
#include "common/unique_handle.h"
#include "tool-driver/tool_driver.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "resources/resource.h"

using namespace vandrel;
using namespace vandrel::test;
using namespace vandrel::driving;

namespace {

std::wstring ToolPath() { return BinFolder() + L"Vandrel.exe"; }

int64_t Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double Seconds(int64_t from, int64_t to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

// Incompressible content, different per tag, written in 1 MiB blocks.
bool WriteImage(const std::wstring& path, uint32_t mib, uint32_t tag) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
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

// The phase marks of a running tool, readable for as long as this object lives (also after the tool ended).
class ToolMarks {
public:
    explicit ToolMarks(DWORD processId) {
        WaitFor([&] {
            mapping_.reset(::OpenFileMappingW(FILE_MAP_READ, FALSE, PhaseSectionName(processId).c_str()));
            return static_cast<bool>(mapping_);
        }, 30000);
        if (mapping_) view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, sizeof(PhaseTicks)));
    }
    bool ok() const { return static_cast<bool>(view_); }
    int64_t at(Phase phase) const {
        return ok() ? static_cast<const volatile PhaseTicks*>(view_.get())->ticks[phase] : 0;
    }
    double between(Phase from, Phase to) const { return Seconds(at(from), at(to)); }

private:
    UniqueHandle mapping_;
    UniqueView view_;
};

// Asks the dialog every 20 ms whether it answers (WM_NULL) and keeps every wait for an answer.
class AnswerWatch {
public:
    explicit AnswerWatch(HWND dialog)
        : thread_([this, dialog] {
              while (!stop_) {
                  const int64_t asked = Now();
                  DWORD_PTR ignored = 0;
                  ::SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
                  const int64_t answered = Now();
                  {
                      std::lock_guard<std::mutex> guard(lock_);
                      waits_.push_back({asked, answered});
                  }
                  ::Sleep(20);
              }
          }) {}
    ~AnswerWatch() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // The longest wait answered before `before`.
    double Longest(int64_t before) const {
        double longest = 0;
        for (const auto& [asked, answered] : waits_)
            if (answered < before) longest = std::max(longest, Seconds(asked, answered));
        return longest;
    }

private:
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::pair<int64_t, int64_t>> waits_;
    std::thread thread_;
};

void Row(const char* what, double seconds) { std::printf("    %-34s %6.2f s\n", what, seconds); }

// Dirty and written-back memory in KiB as Linux reports it, or -1 where there is no such report (Windows).
long long PendingWritesKiB() {
    const std::string meminfo = ReadFileBytes(L"Z:\\proc\\meminfo");
    if (meminfo.empty()) return -1;
    long long total = 0;
    for (const char* key : {"\nDirty:", "\nWriteback:"}) {
        const size_t at = meminfo.find(key);
        if (at != std::string::npos) total += std::atoll(meminfo.c_str() + at + std::strlen(key));
    }
    return total;
}

// Sectors written and discarded so far, plus requests in flight, over every disk Linux reports, or -1
// where there is no such report (Windows). Unchanged over a while means the disk is idle.
long long DiskActivity() {
    const std::string stats = ReadFileBytes(L"Z:\\proc\\diskstats");
    if (stats.empty()) return -1;
    std::istringstream lines(stats);
    long long total = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string major, minor, name;
        words >> major >> minor >> name;
        // The counters after the name, from 0: 6 sectors written, 8 in flight, 13 sectors discarded.
        std::vector<long long> counters;
        for (long long value; words >> value;) counters.push_back(value);
        for (size_t i : {6u, 8u, 13u})
            if (i < counters.size()) total += counters[i];
    }
    return total;
}

// Waits until what earlier steps wrote or deleted has reached the disk, so that each measured side starts
// on a quiet disk and neither pays for the other (on a slow disk that costs seconds). A flushed marker
// file makes the file system commit its journal now, which also sends the discards of deleted files
// that a "discard" mount would otherwise issue at its next periodic commit, in the middle of a measure.
void SettleDisk() {
    {
        TempDir marker;
        UniqueFile file(::CreateFileW((marker / L"settle").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (file) ::FlushFileBuffers(file.get());
    }
    WaitFor([] { return PendingWritesKiB() < 8 * 1024; }, 60000);
    long long last = DiskActivity();
    WaitFor(
        [&] {
            ::Sleep(500);
            const long long now = DiskActivity();
            const bool idle = now == last;
            last = now;
            return idle;
        },
        60000);
    ::Sleep(500);
}

// 7za alone, a plain copy of the image and its flush, on the package the tool gets. 7za is started as the
// tool starts it (hidden, output to NUL), the fastest way to run it. What they write is deleted afterwards,
// so that none of it is still waiting to reach the disk while the tool runs.
struct RawWork {
    double sevenZip = 0, copy = 0, flush = 0;
    double sum() const { return sevenZip + copy + flush; }
};

bool MeasureRawWork(const std::wstring& package, RawWork& raw) {
    TempDir out;
    const int64_t start = Now();
    const UniqueHandle sevenZip = StartHidden(L"\"" + BinFolder() + L"test_7za.exe\" x \"" + package + L"\" -p" +
                                                  kPackagePassword + L" -y -o\"" + out.path() + L"\"",
                                              out.path());
    DWORD exitCode = 1;
    if (!sevenZip || ::WaitForSingleObject(sevenZip.get(), INFINITE) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(sevenZip.get(), &exitCode) || exitCode != 0)
        return false;
    const int64_t extracted = Now();
    if (!::CopyFileW((out / L"fw_V1.img").c_str(), (out / L"copy.img").c_str(), FALSE)) return false;
    const int64_t copied = Now();
    UniqueFile copy(::CreateFileW((out / L"copy.img").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!copy || !::FlushFileBuffers(copy.get())) return false;
    const int64_t flushed = Now();
    raw.sevenZip = Seconds(start, extracted);
    raw.copy = Seconds(extracted, copied);
    raw.flush = Seconds(copied, flushed);
    return true;
}

// A started tool whose start-up is timed from the process's creation to its first "[Status]" line.
std::unique_ptr<ToolDriver> StartTimed(std::unique_ptr<ToolMarks>& marks, double& startup) {
    const int64_t created = Now();
    std::unique_ptr<ToolDriver> tool = ToolDriver::StartReady(ToolPath());
    if (!tool) return nullptr;
    marks = std::make_unique<ToolMarks>(tool->id());
    if (!marks->ok() || !WaitFor([&] { return marks->at(kPhaseFirstStatus) != 0; }, 30000)) return nullptr;
    startup = Seconds(created, marks->at(kPhaseFirstStatus));
    return tool;
}

// The phases of one write run, from the tool's marks; click to worker start last.
struct ToolRun {
    static constexpr int kRows = 12;
    double seconds[kRows] = {};
    double longestSilence = 0;  // from the click until the result box is up
};

const char* const kToolRows[ToolRun::kRows] = {
    "housekeeping", "decoys", "checks and extraction of 7za", "7za's run", "device scan", "image choice",
    "secure file made", "secure copy", "its flush", "deletion of the unpacked image", "worker start",
    "click to worker start"};
const Phase kToolRowEnds[ToolRun::kRows] = {
    kPhaseHousekeepingDone, kPhaseDecoysDone, kPhaseSevenZipWritten, kPhaseUnpacked, kPhaseScanned,
    kPhaseImageChosen, kPhaseCopyStarted, kPhaseCopied, kPhaseFlushed, kPhaseUnpackedDeleted, kPhaseWorkerStarted,
    kPhaseWorkerStarted};

bool MeasureToolRun(const ToolDriver& tool, const ToolMarks& marks, const std::wstring& package, ToolRun& run) {
    tool.SetFirmwarePath(package);
    AnswerWatch watch(tool.window());
    if (!tool.Click(IDC_START_WRITING)) return false;
    MessageBoxInfo box;
    const bool shown = tool.NextBox(&box, 600000, false);
    const int64_t boxSeen = Now();
    watch.Stop();
    if (shown) DismissMessageBox(box.window);
    if (!shown || box.text != L"Write successful" || !WaitFor([&] { return !::IsWindow(box.window); })) {
        std::printf("latency: the write did not run through: %ls\n", box.text.c_str());
        return false;
    }
    run.longestSilence = watch.Longest(boxSeen);
    Phase from = kPhaseClick;
    for (int row = 0; row + 1 < ToolRun::kRows; ++row) {
        run.seconds[row] = marks.between(from, kToolRowEnds[row]);
        from = kToolRowEnds[row];
    }
    run.seconds[ToolRun::kRows - 1] = marks.between(kPhaseClick, kPhaseWorkerStarted);
    return true;
}

template <class Get>
double Median(int rounds, Get get) {
    std::vector<double> values;
    for (int i = 0; i < rounds; ++i) values.push_back(get(i));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int Latency(uint32_t mib, int rounds) {
    std::wstring package;
    TempDir work;
    {
        TempDir content;  // the loose images go before anything is measured
        for (uint32_t v = 0; v < 3; ++v)
            if (!WriteImage(content / (L"fw_V" + std::to_wstring(v) + L".img"), mib, v)) return 1;
        package = work / L"bench.bin";
        if (MakePackage(content.path(), package, kPackagePassword, L"-mx0") != 0) return 1;
    }
    UniqueFile packed(::CreateFileW(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!packed || !::FlushFileBuffers(packed.get())) return 1;
    packed.reset();

    // A first start and close warms Wine and the caches; the second start is the one measured.
    {
        std::unique_ptr<ToolDriver> warmUp = ToolDriver::StartReady(ToolPath());
        if (!warmUp) return 1;
        warmUp->CloseOrEnd(60000);
    }
    std::unique_ptr<ToolMarks> marks;
    double startup = 0;
    std::unique_ptr<ToolDriver> started = StartTimed(marks, startup);
    if (!started) {
        std::printf("latency: the tool did not start\n");
        return 1;
    }
    ToolDriver& tool = *started;
    // Plugged now: the close of the warm-up took the driver from every device then present.
    PluggedDevices devices;
    if (devices.Plug(L"--upgrade-ms 200").empty()) return 1;

    // One round of each side that is not counted: the first runs after the package was made meet a disk
    // and caches in another state than every later one.
    {
        RawWork unused;
        ToolRun unusedRun;
        SettleDisk();
        if (!MeasureRawWork(package, unused)) return 1;
        SettleDisk();
        if (!MeasureToolRun(tool, *marks, package, unusedRun)) return 1;
    }
    // Rounds in alternating order, so that neither side always meets what the other left to the disk.
    std::vector<RawWork> raw(rounds);
    std::vector<ToolRun> runs(rounds);
    for (int round = 0; round < rounds; ++round) {
        const bool rawFirst = round % 2 == 0;
        SettleDisk();
        if (rawFirst && !MeasureRawWork(package, raw[round])) return 1;
        if (rawFirst) SettleDisk();
        if (!MeasureToolRun(tool, *marks, package, runs[round])) return 1;
        if (!rawFirst) SettleDisk();
        if (!rawFirst && !MeasureRawWork(package, raw[round])) return 1;
    }
    const int64_t closeAsked = Now();
    tool.CloseOrEnd(60000);
    const int64_t ended = Now();

    std::printf("latency: 3 images of %u MiB, %s build, median of %d rounds\n", mib,
                sizeof(void*) == 8 ? "x86-64" : "x86", rounds);
    std::printf("  the tool, from the click (its own timestamps):\n");
    for (int row = 0; row < ToolRun::kRows; ++row)
        Row(kToolRows[row], Median(rounds, [&](int i) { return runs[i].seconds[row]; }));
    std::printf("  the raw work on the same files:\n");
    Row("7za alone", Median(rounds, [&](int i) { return raw[i].sevenZip; }));
    Row("plain copy (CopyFileW)", Median(rounds, [&](int i) { return raw[i].copy; }));
    Row("its flush", Median(rounds, [&](int i) { return raw[i].flush; }));
    Row("sum", Median(rounds, [&](int i) { return raw[i].sum(); }));

    // The same 7za on the same package: how far apart the two sides' runs are, round by round, shows
    // how much of the ratio below is the disk rather than the tool.
    std::printf("  7za's run in the tool / 7za alone, per round:");
    for (int i = 0; i < rounds; ++i) std::printf(" %.2f/%.2f", runs[i].seconds[3], raw[i].sevenZip);
    std::printf("\n");
    std::printf("  click to worker start / raw work, per round:");
    for (int i = 0; i < rounds; ++i) std::printf(" %.3f", runs[i].seconds[ToolRun::kRows - 1] / raw[i].sum());
    std::printf("; median %.3f (goal <= 1.05)\n",
                Median(rounds, [&](int i) { return runs[i].seconds[ToolRun::kRows - 1] / raw[i].sum(); }));
    // What the tool adds to the raw work: every phase but 7za's run, the copy and its flush. Both sides
    // of a round see the same disk, but a busy host moves each by tenths of a second; this does not.
    std::printf("  the tool's own work beyond 7za, the copy and the flush: median %.2f s, %.1f %% of the raw work\n",
                Median(rounds, [&](int i) { return runs[i].seconds[ToolRun::kRows - 1] - runs[i].seconds[3] -
                                                    runs[i].seconds[7] - runs[i].seconds[8]; }),
                100 * Median(rounds, [&](int i) {
                    return (runs[i].seconds[ToolRun::kRows - 1] - runs[i].seconds[3] - runs[i].seconds[7] -
                            runs[i].seconds[8]) / raw[i].sum();
                }));
    std::printf("  secure copy throughput / CopyFileW: median %.2f (goal >= 0.95)\n",
                Median(rounds, [&](int i) { return raw[i].copy / std::max(runs[i].seconds[7], 1e-6); }));
    double silence = 0;
    for (const ToolRun& run : runs) silence = std::max(silence, run.longestSilence);
    std::printf("  longest wait for the dialog to answer, click to result box: %.0f ms (goal < 100 ms)\n", silence * 1000);
    std::printf("  start to the first [Status] line, warm: %.2f s (goal <= 1.0 s)\n", startup);
    const double closing = Seconds(closeAsked, ended);
    const double driverRemoval = marks->between(kPhaseDriverRemovalStarted, kPhaseDriverRemovalEnded);
    std::printf("  close after the writes: %.2f s, of which driver removal %.2f s: the tool's own work %.2f s "
                "(goal <= 0.3 s)\n",
                closing, driverRemoval, closing - driverRemoval);
    return 0;
}

int Memory(uint32_t mib) {
    TempDir content;
    const std::wstring image = content / L"bench.img";
    if (!WriteImage(image, mib, 7)) return 1;
    PluggedDevices devices;
    std::unique_ptr<ToolDriver> tool = ToolDriver::StartReady(ToolPath());
    if (!tool || devices.Plug(L"--upgrade-ms 200").empty()) return 1;
    tool->SetFirmwarePath(image);
    MessageBoxInfo box;
    const bool finished = tool->Click(IDC_START_WRITING) && tool->NextBox(&box, 600000);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    const bool measured = tool->ReadMemory(&counters);
    tool->CloseOrEnd(60000);
    if (!finished || box.text != L"Write successful" || !measured) {
        std::printf("memory: the write did not run through\n");
        return 1;
    }
    std::printf("memory: image %u MiB; peak working set %.1f MiB\n", mib,
                static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 4) {
        std::printf("usage: write-bench latency MIB [ROUNDS] | memory MIB\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    const uint32_t mib = static_cast<uint32_t>(_wtoi(argv[2]));
    const int rounds = argc == 4 ? std::max(1, _wtoi(argv[3])) : 5;
    UnplugAllVirtualDevices();
    RockusbServiceGuard service;
    if (!service.Install()) return 1;
    if (mode == L"latency") return Latency(mib, rounds);
    if (mode == L"memory") return Memory(mib);
    return 2;
}
