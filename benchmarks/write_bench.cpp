// write-bench: measures the real tool against a virtual transmitter, with the tool's own timestamps
// (the phase marks it publishes) beside the raw work done on the same files in the same run.
//
//   write-bench latency MIB [ROUNDS]
//                             three images of MIB MiB in a package, ROUNDS writes (5): where the time goes
//                             from the Start Writing click to the worker's start, step by step in the order
//                             of the work, and what runs beside it (decoys, 7za's listing, the worker's
//                             deletion of the unpacked images), against 7za alone, a plain copy and its flush
//                             (medians); then one line per goal: the longest time the dialog did not answer
//                             from the click to the result and the phase it fell in; the tool's own work
//                             beyond the raw work and the steps it is made of; the image check's CRC-32
//                             timed alone over as many bytes; click to worker start against the raw work;
//                             the copy's throughput against CopyFileW; the start to the first "[Status]"
//                             line (warm); the close after the writes
//   write-bench memory MIB    the tool's peak working set after writing one image of MIB MiB
//
// Prints its figures; exits 1 when a step fails or the tool's marks do not follow its work.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "common/crc32.h"
#include "common/hidden_process.h"
#include "common/phase_marks.h"
#include "common/unique_handle.h"
#include "tool-driver/tool_driver.h"
#include "workspace/file_content.h"
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

// Incompressible bytes (xorshift), carrying state on from one call to the next.
void FillRandom(std::string& bytes, uint64_t& state) {
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        memcpy(&bytes[i], &state, 8);
    }
}

// Incompressible content, different per tag, written in 1 MiB blocks.
bool WriteImage(const std::wstring& path, uint32_t mib, uint32_t tag) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    std::string block(1 << 20, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull ^ tag;
    for (uint32_t m = 0; m < mib; ++m) {
        FillRandom(block, state);
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
    struct Wait {
        int64_t asked, answered;
    };
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
    // The waits that overlap from..to; after Stop.
    std::vector<Wait> Between(int64_t from, int64_t to) const {
        std::vector<Wait> found;
        for (const Wait& wait : waits_)
            if (wait.answered > from && wait.asked < to) found.push_back(wait);
        return found;
    }

private:
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<Wait> waits_;
    std::thread thread_;
};

void Row(const char* what, double seconds) { std::printf("    %-40s %6.3f s\n", what, seconds); }

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

// 7-Zip alone, a plain copy of the image and its flush, on the package the tool gets. 7-Zip is started as
// the tool starts it (hidden, output to NUL, with the user's rights only), the fastest way to run it. What they write is deleted afterwards,
// so that none of it is still waiting to reach the disk while the tool runs.
struct RawWork {
    double sevenZip = 0, copy = 0, flush = 0;
    double listing = 0;  // 7za's listing alone, after the rest: not part of the sum
    double sum() const { return sevenZip + copy + flush; }
};

// Runs 7-Zip with arguments in folder as the tool does; true when it ended with 0.
bool Run7za(const std::wstring& arguments, const std::wstring& folder) {
    const UniqueHandle sevenZip =
        StartHidden(L"\"" + BinFolder() + L"7-Zip\\7z.exe\" " + arguments, folder, HelperRights::kRestricted);
    DWORD exitCode = 1;
    return sevenZip && ::WaitForSingleObject(sevenZip.get(), INFINITE) == WAIT_OBJECT_0 &&
           ::GetExitCodeProcess(sevenZip.get(), &exitCode) && exitCode == 0;
}

bool MeasureRawWork(const std::wstring& package, RawWork& raw) {
    TempDir out;
    const int64_t start = Now();
    if (!Run7za(L"x \"" + package + L"\" -p" + kPackagePassword + L" -y -o\"" + out.path() + L"\"", out.path()))
        return false;
    const int64_t extracted = Now();
    if (!::CopyFileW((out / L"fw_V1.img").c_str(), (out / L"copy.img").c_str(), FALSE)) return false;
    const int64_t copied = Now();
    UniqueFile copy(::CreateFileW((out / L"copy.img").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!copy || !::FlushFileBuffers(copy.get())) return false;
    const int64_t flushed = Now();
    // The tool runs it beside the extraction; alone, it shows how much work that adds beside it.
    if (!Run7za(L"l -slt -sccUTF-8 -p" + std::wstring(kPackagePassword) + L" \"" + package + L"\"", out.path()))
        return false;
    raw.sevenZip = Seconds(start, extracted);
    raw.copy = Seconds(extracted, copied);
    raw.flush = Seconds(copied, flushed);
    raw.listing = Seconds(flushed, Now());
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

// The dialog thread's work from the click to the worker's start, in the order it happens: each step runs
// from the mark of the one before it (the click for the first) to its own. 7za's extraction, the copy
// and its flush have their counterparts in the raw work; every other step is the tool's own work.
struct Step {
    Phase end;
    const char* name;
    bool raw;
};
constexpr Step kSteps[] = {
    {kPhaseHousekeepingDone, "housekeeping", false},
    {kPhaseRunFolderMade, "run folder made, decoys started", false},
    {kPhaseSevenZipWritten, "checks, 7za written out and checked", false},
    {kPhaseUnpacked, "7za's extraction", true},
    {kPhaseListed, "7za's listing, waited for after it", false},
    {kPhaseScanned, "listing read, device scan", false},
    {kPhaseImageChosen, "image choice", false},
    {kPhaseCopyStarted, "secure file made", false},
    {kPhaseCopied, "secure copy, with its CRC-32", true},
    {kPhaseFlushed, "its flush", true},
    {kPhasePrepared, "end of preparation, decoys joined", false},
    {kPhaseWorkerStarted, "worker start", false},
};
constexpr int kStepCount = sizeof kSteps / sizeof kSteps[0];

constexpr int StepEnding(Phase end) {
    int step = 0;
    while (kSteps[step].end != end) ++step;
    return step;
}
constexpr int kExtractionStep = StepEnding(kPhaseUnpacked), kCopyStep = StepEnding(kPhaseCopied);

// Marks every run must have stamped anew, besides the steps': those beside the dialog's thread.
const Phase kMarksBeside[] = {kPhaseDecoysDone, kPhaseUnpackedDeleted, kPhaseDeviceWritten, kPhaseRunEnded};

// One write run as the tool's marks and the answer watch saw it.
struct ToolRun {
    int64_t marks[kPhaseCount] = {};
    int64_t clicked = 0, boxSeen = 0;      // this program's clock: the click sent, the result box seen
    std::vector<AnswerWatch::Wait> waits;  // those that overlap the click to the box

    double Between(Phase from, Phase to) const { return Seconds(marks[from], marks[to]); }
    Phase StepStart(int step) const { return step == 0 ? kPhaseClick : kSteps[step - 1].end; }
    double StepSeconds(int step) const { return Between(StepStart(step), kSteps[step].end); }
    double ClickToWorker() const { return Between(kPhaseClick, kPhaseWorkerStarted); }
    double OwnWork() const {
        double own = 0;
        for (int step = 0; step < kStepCount; ++step)
            if (!kSteps[step].raw) own += StepSeconds(step);
        return own;
    }
};

// Where the tool was from the click to the result box: the dialog thread's steps, then the worker's.
struct Span {
    const char* name;
    int64_t from, to;
};

std::vector<Span> Timeline(const ToolRun& run) {
    std::vector<Span> spans{{"the click reaching the dialog", run.clicked, run.marks[kPhaseClick]}};
    for (int step = 0; step < kStepCount; ++step)
        spans.push_back({kSteps[step].name, run.marks[run.StepStart(step)], run.marks[kSteps[step].end]});
    spans.push_back({"worker: deletion of the unpacked images", run.marks[kPhaseWorkerStarted],
                     run.marks[kPhaseUnpackedDeleted]});
    spans.push_back({"worker: device write", run.marks[kPhaseUnpackedDeleted], run.marks[kPhaseDeviceWritten]});
    spans.push_back({"worker: clean-up after the write", run.marks[kPhaseDeviceWritten], run.marks[kPhaseRunEnded]});
    spans.push_back({"run's end: driver status, result box", run.marks[kPhaseRunEnded], run.boxSeen});
    return spans;
}

int64_t Overlap(int64_t from, int64_t to, const AnswerWatch::Wait& wait) {
    return std::max<int64_t>(0, std::min(to, wait.answered) - std::max(from, wait.asked));
}

// The span of the timeline a wait overlaps most; null when it overlaps none.
const Span* SpanOf(const std::vector<Span>& timeline, const AnswerWatch::Wait& wait) {
    const Span* found = nullptr;
    int64_t most = 0;
    for (const Span& span : timeline) {
        const int64_t overlap = Overlap(span.from, span.to, wait);
        if (overlap > most) {
            most = overlap;
            found = &span;
        }
    }
    return found;
}

// The phase a wait for an answer fell in: the one it overlaps most, how far into it the wait began, and
// the decoys when they were being made meanwhile on their own thread.
std::string PhaseOf(const ToolRun& run, const AnswerWatch::Wait& wait) {
    const std::vector<Span> timeline = Timeline(run);
    const Span* found = SpanOf(timeline, wait);
    if (!found) return "outside the marks";
    char phase[160];
    std::snprintf(phase, sizeof phase, "%s, asked %.2f s into it%s", found->name,
                  Seconds(found->from, std::max(found->from, wait.asked)),
                  Overlap(run.marks[kPhaseRunFolderMade], run.marks[kPhaseDecoysDone], wait) > 0
                      ? ", decoys being made beside it" : "");
    return phase;
}

double Milliseconds(const AnswerWatch::Wait& wait) { return 1000 * Seconds(wait.asked, wait.answered); }

// The longest wait of a run; a run without waits gives a zero-length one.
AnswerWatch::Wait LongestWait(const ToolRun& run) {
    AnswerWatch::Wait longest{0, 0};
    for (const AnswerWatch::Wait& wait : run.waits)
        if (wait.answered - wait.asked > longest.answered - longest.asked) longest = wait;
    return longest;
}

// Whether this run stamped every mark anew, in the order the rows show; says which did not.
bool MarksFollowTheWork(const ToolRun& run) {
    const auto stale = [&](Phase phase) { return run.marks[phase] < run.clicked; };
    for (int step = 0; step < kStepCount; ++step) {
        if (stale(kSteps[step].end) || run.marks[kSteps[step].end] < run.marks[run.StepStart(step)]) {
            std::printf("latency: the mark that ends \"%s\" is missing or out of order: the rows no longer follow "
                        "the tool's work\n", kSteps[step].name);
            return false;
        }
    }
    for (Phase phase : kMarksBeside) {
        if (stale(phase) || run.marks[phase] < run.marks[kPhaseClick]) {
            std::printf("latency: mark %u was not stamped in this run\n", static_cast<unsigned>(phase));
            return false;
        }
    }
    return true;
}

bool MeasureToolRun(const ToolDriver& tool, const ToolMarks& marks, const std::wstring& package, ToolRun& run) {
    tool.SetFirmwarePath(package);
    AnswerWatch watch(tool.window());
    run.clicked = Now();
    if (!tool.Click(IDC_START_WRITING)) return false;
    MessageBoxInfo box;
    const bool shown = tool.NextBox(&box, 600000, false);
    run.boxSeen = Now();
    watch.Stop();
    if (shown) DismissMessageBox(box.window);
    if (!shown || box.text != L"Write successful" || !WaitFor([&] { return !::IsWindow(box.window); })) {
        std::printf("latency: the write did not run through: %ls\n", box.text.c_str());
        return false;
    }
    for (uint32_t phase = 0; phase < kPhaseCount; ++phase) run.marks[phase] = marks.at(static_cast<Phase>(phase));
    run.waits = watch.Between(run.clicked, run.boxSeen);
    return MarksFollowTheWork(run);
}

// Where each CRC-32 goes, so that none is left uncomputed.
volatile uint32_t g_crcKept = 0;

// The image check's own cost: UpdateCrc32 over as many bytes as the image, in the copy's blocks. Each block
// is first filled from a larger buffer, as ReadFile fills the copy's block; only the CRC is timed.
double CrcSeconds(uint32_t mib) {
    static const std::string source = [] {
        std::string bytes(16 << 20, '\0');
        uint64_t state = 0x2545F4914F6CDD1Dull;
        FillRandom(bytes, state);
        return bytes;
    }();
    std::string block(kFileBlockBytes, '\0');
    const uint64_t bytes = static_cast<uint64_t>(mib) << 20;
    int64_t spent = 0;
    uint32_t crc = 0;
    for (uint64_t at = 0; at < bytes; at += kFileBlockBytes) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(kFileBlockBytes, bytes - at));
        memcpy(&block[0], source.data() + at % source.size(), size);
        const int64_t before = Now();
        crc = UpdateCrc32(crc, block.data(), size);
        spent += Now() - before;
    }
    g_crcKept = crc;
    return Seconds(0, spent);
}

template <class Get>
double Median(int rounds, Get get) {
    std::vector<double> values;
    for (int i = 0; i < rounds; ++i) values.push_back(get(i));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

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
    std::wstring device = devices.Plug(L"--upgrade-ms 200");
    // Every write goes to a transmitter plugged for it. The stand-in keeps what a device was written in a
    // flash file that it makes anew over the last one, and freeing the last 256 MiB at once stalled Wine,
    // and with it the dialog, for some 80 ms in the middle of the device write; a real transmitter has no
    // such file. The unplug deletes the old file before the disk is let settle.
    const auto plugFresh = [&] {
        devices.Unplug(device);
        device = devices.Plug(L"--upgrade-ms 200");
        return !device.empty();
    };

    // One round of each side that is not counted: the first runs after the package was made meet a disk
    // and caches in another state than every later one.
    {
        RawWork unused;
        ToolRun unusedRun;
        SettleDisk();
        if (!MeasureRawWork(package, unused) || !plugFresh()) return 1;
        SettleDisk();
        if (!MeasureToolRun(tool, *marks, package, unusedRun)) return 1;
    }
    // Rounds in alternating order, so that neither side always meets what the other left to the disk. The
    // CRC-32 alone is timed on the settled disk, before either.
    std::vector<RawWork> raw(rounds);
    std::vector<ToolRun> runs(rounds);
    std::vector<double> crc(rounds);
    for (int round = 0; round < rounds; ++round) {
        const bool rawFirst = round % 2 == 0;
        if (!plugFresh()) return 1;
        SettleDisk();
        crc[round] = CrcSeconds(mib);
        if (rawFirst && !MeasureRawWork(package, raw[round])) return 1;
        if (rawFirst) SettleDisk();
        if (!MeasureToolRun(tool, *marks, package, runs[round])) return 1;
        if (!rawFirst) SettleDisk();
        if (!rawFirst && !MeasureRawWork(package, raw[round])) return 1;
    }
    const int64_t closeAsked = Now();
    tool.CloseOrEnd(60000);
    const int64_t ended = Now();
    const auto median = [&](auto get) { return Median(rounds, get); };

    std::printf("latency: 3 images of %u MiB, %s build, median of %d rounds\n", mib,
                sizeof(void*) == 8 ? "x86-64" : "x86", rounds);
    std::printf("  the tool's dialog thread from the click, in the order of its work (its own timestamps):\n");
    for (int step = 0; step < kStepCount; ++step)
        Row(kSteps[step].name, median([&](int i) { return runs[i].StepSeconds(step); }));
    Row("click to worker start", median([&](int i) { return runs[i].ClickToWorker(); }));
    std::printf("  beside the dialog's thread, not part of click to worker start:\n");
    int decoysAhead = 0;
    for (const ToolRun& run : runs) decoysAhead += run.marks[kPhaseDecoysDone] <= run.marks[kPhaseFlushed];
    Row("decoys, on their own thread", median([&](int i) { return runs[i].Between(kPhaseRunFolderMade, kPhaseDecoysDone); }));
    std::printf("      made before the secure copy's flush had ended in %d of %d rounds\n", decoysAhead, rounds);
    std::printf("    7za's listing: beside the extraction (alone %.3f s); only its wait after the extraction is on the "
                "path (above)\n",
                median([&](int i) { return raw[i].listing; }));
    Row("worker: deletion of the unpacked images",
        median([&](int i) { return runs[i].Between(kPhaseWorkerStarted, kPhaseUnpackedDeleted); }));
    std::printf("  the raw work on the same files:\n");
    Row("7za alone", median([&](int i) { return raw[i].sevenZip; }));
    Row("plain copy (CopyFileW)", median([&](int i) { return raw[i].copy; }));
    Row("its flush", median([&](int i) { return raw[i].flush; }));
    Row("sum", median([&](int i) { return raw[i].sum(); }));
    Row("7za's listing alone, not in the sum", median([&](int i) { return raw[i].listing; }));

    // The same 7za on the same package: how far apart the two sides' runs are, round by round, shows
    // how much of the ratio below is the disk rather than the tool.
    std::printf("  7za's extraction in the tool / 7za alone, per round:");
    for (int i = 0; i < rounds; ++i) std::printf(" %.2f/%.2f", runs[i].StepSeconds(kExtractionStep), raw[i].sevenZip);
    std::printf("\n  click to worker start / raw work, per round:");
    for (int i = 0; i < rounds; ++i) std::printf(" %.3f", runs[i].ClickToWorker() / raw[i].sum());
    std::printf("\n");

    std::printf("  goals:\n");
    // 1. Responsiveness: the longest wait over all rounds, and the phase it fell in.
    int longestRound = 0;
    for (int i = 1; i < rounds; ++i)
        if (Milliseconds(LongestWait(runs[i])) > Milliseconds(LongestWait(runs[longestRound]))) longestRound = i;
    const AnswerWatch::Wait longest = LongestWait(runs[longestRound]);
    constexpr double kAnswerGoalMs = 50;
    std::printf("    responsiveness: longest wait for the dialog to answer, click to result box: %.0f ms (round %d, "
                "in \"%s\") (goal < %.0f ms): %s\n",
                Milliseconds(longest), longestRound + 1, PhaseOf(runs[longestRound], longest).c_str(), kAnswerGoalMs,
                Verdict(Milliseconds(longest) < kAnswerGoalMs));
    std::printf("      longest per round:");
    for (const ToolRun& run : runs) std::printf(" %.0f ms (%s);", Milliseconds(LongestWait(run)), PhaseOf(run, LongestWait(run)).c_str());
    std::printf("\n");
    // Every wait past the goal, by the phase it fell in: how often, and the longest.
    std::map<std::string, std::pair<int, double>> late;
    for (const ToolRun& run : runs) {
        const std::vector<Span> timeline = Timeline(run);
        for (const AnswerWatch::Wait& wait : run.waits) {
            if (Milliseconds(wait) < kAnswerGoalMs) continue;
            const Span* span = SpanOf(timeline, wait);
            auto& [count, most] = late[span ? span->name : "outside the marks"];
            ++count;
            most = std::max(most, Milliseconds(wait));
        }
    }
    if (!late.empty()) {
        std::printf("      every wait of %.0f ms or more, by phase:", kAnswerGoalMs);
        for (const auto& [phase, seen] : late) std::printf(" %s %d (longest %.0f ms);", phase.c_str(), seen.first, seen.second);
        std::printf("\n");
    }

    // 2. What the tool adds to the raw work: every step but 7za's extraction, the copy and its flush. Both
    // sides of a round see the same disk, but a busy host moves each by tenths of a second; this does not.
    constexpr double kOwnGoal = 0.03;
    const double ownShare = median([&](int i) { return runs[i].OwnWork() / raw[i].sum(); });
    std::printf("    own work: the tool's work beyond 7za's extraction, the copy and its flush: median %.3f s, %.1f %% of "
                "the raw work (goal <= %.0f %%): %s\n",
                median([&](int i) { return runs[i].OwnWork(); }), 100 * ownShare, 100 * kOwnGoal,
                Verdict(ownShare <= kOwnGoal));
    std::vector<std::pair<double, int>> ownSteps;
    for (int step = 0; step < kStepCount; ++step)
        if (!kSteps[step].raw) ownSteps.push_back({median([&](int i) { return runs[i].StepSeconds(step); }), step});
    std::sort(ownSteps.rbegin(), ownSteps.rend());
    std::printf("      made up of (medians):");
    for (const auto& [seconds, step] : ownSteps)
        std::printf(" %s %.3f s (%.1f %%);", kSteps[step].name, seconds,
                    100 * median([&](int i) { return runs[i].StepSeconds(step) / raw[i].sum(); }));
    std::printf("\n");

    // 3. The image check: the CRC-32 the copy's loop computes, timed alone over the same bytes.
    constexpr double kCheckGoal = 0.02;
    const double crcShare = median([&](int i) { return crc[i] / raw[i].sum(); });
    std::printf("    image check: CRC-32 of %u MiB in %lu KiB blocks (UpdateCrc32 alone): median %.3f s, %.1f %% of the "
                "raw work (goal < %.0f %%): %s\n",
                mib, static_cast<unsigned long>(kFileBlockBytes / 1024), median([&](int i) { return crc[i]; }),
                100 * crcShare, 100 * kCheckGoal, Verdict(crcShare < kCheckGoal));

    const double ratio = median([&](int i) { return runs[i].ClickToWorker() / raw[i].sum(); });
    std::printf("    click to worker start / raw work: median of the per-round ratios %.3f (goal <= 1.05): %s\n", ratio,
                Verdict(ratio <= 1.05));
    const double copyRatio = median([&](int i) { return raw[i].copy / std::max(runs[i].StepSeconds(kCopyStep), 1e-6); });
    std::printf("    secure copy throughput / CopyFileW: median %.2f (goal >= 0.95): %s\n", copyRatio,
                Verdict(copyRatio >= 0.95));
    std::printf("    start to the first [Status] line, warm: %.2f s (goal <= 1.0 s): %s\n", startup, Verdict(startup <= 1.0));
    const double closing = Seconds(closeAsked, ended);
    const double driverRemoval = marks->between(kPhaseDriverRemovalStarted, kPhaseDriverRemovalEnded);
    std::printf("    close after the writes: %.2f s, of which driver removal %.2f s: the tool's own work %.2f s "
                "(goal <= 0.3 s): %s\n",
                closing, driverRemoval, closing - driverRemoval, Verdict(closing - driverRemoval <= 0.3));
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
