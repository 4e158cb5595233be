// "Start Writing" in the real tool, end to end: a password-protected package or a single image is
// written into a virtual transmitter, and every failure on the way tells the user.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "common/scope_exit.h"
#include "common/text.h"
#include "tests/e2e/write_run_fixture.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/workspace/workspace_test_support.h"
#include "resources/resource.h"

namespace vandrel::test {
namespace {

TEST_F(WriteRunTest, WritesThePackagesImageForTheDevicesHardwareVersion) {
    const auto pendingBefore = PendingDeletionPaths();
    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 1500");
    ASSERT_FALSE(device.empty());
    SetFirmwarePath(package_);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));

    // While the device is written: busy, controls disabled, progress shown, no way out.
    // The bar and its label are shown one after the other: wait for both, not for the bar alone.
    ASSERT_TRUE(WaitFor([&] { return IsShown(Control(IDC_PROGRESS)) && IsShown(Control(IDC_WRITING_LABEL)); }, 30000))
        << "the progress display starts";
    for (int id : {IDC_START_WRITING, IDC_CONFIRM_VERSION, IDC_FIRMWARE_PATH, IDC_SELECT}) EXPECT_FALSE(IsEnabled(Control(id))) << id;
    DWORD_PTR answer = 1;
    ::SendMessageTimeoutW(dialog_, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(0u, answer) << "the session may not end mid-write";
    // Nothing a user could click; and what no user can send is refused as well.
    for (int id : {IDC_START_WRITING, IDC_CONFIRM_VERSION, IDC_SELECT}) EXPECT_FALSE(tool_->Click(id)) << id;
    tool_->SendCommand(IDCANCEL);
    ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
    tool_->SendCommand(IDC_START_WRITING);
    tool_->SendCommand(IDC_CONFIRM_VERSION);

    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 60000));
    EXPECT_EQ(L"Message", box.caption);
    EXPECT_EQ(L"Write successful", box.text);
    EXPECT_TRUE(IsEnabled(Control(IDC_START_WRITING))) << "the dialog is idle before the result shows";
    EXPECT_EQ(::GetWindowThreadProcessId(dialog_, nullptr), ::GetWindowThreadProcessId(box.window, nullptr))
        << "the result is shown by the dialog's thread, not by the worker";
    EXPECT_FALSE(IsShown(Control(IDC_PROGRESS)));
    DismissMessageBox(box.window);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    EXPECT_TRUE(tool_->running()) << "Escape and the close request were refused during the write";

    EXPECT_EQ(images_[L"fw_V1.img"], Flash(device));
    const auto lines = MessageLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(L"Download firmware...", lines[lines.size() - 2]);
    EXPECT_EQ(L"Download firmware ok", lines.back());
    EXPECT_TRUE(ListEntries(WorkspaceBase()).empty()) << "nothing of the run is left in the workspace";

    // A second run in a row works too.
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    CloseAndExpectExit();
    EXPECT_EQ(pendingBefore, PendingDeletionPaths()) << "closing after a write waits for nothing and registers nothing";
}

TEST_F(WriteRunTest, AVersionTwoDeviceGetsTheVersionTwoImageFromASubfolder) {
    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110F --upgrade-ms 300");
    SetFirmwarePath(package_);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    EXPECT_EQ(images_[L"sub\\fw_V2.img"], Flash(device));
    CloseAndExpectExit();
}

// Two transmitters of different hardware versions, plugged in either order: the run writes into one of
// them, and that one gets its own version's image.
struct PlugOrder {
    const char* name;
    const wchar_t* first;
    const wchar_t* second;
};

class TwoDevicesTest : public WriteRunTest, public ::testing::WithParamInterface<PlugOrder> {};

TEST_P(TwoDevicesTest, TheWrittenDeviceGetsItsOwnVersionsImageAndTheOtherNothing) {
    ASSERT_TRUE(Start());
    const std::wstring first = devices_.Plug(std::wstring(L"--upgrade-ms 300 --pid ") + GetParam().first);
    const std::wstring second = devices_.Plug(std::wstring(L"--upgrade-ms 300 --pid ") + GetParam().second);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    SetFirmwarePath(package_);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);

    const std::map<uint16_t, std::string> imageFor = {{0x110B, images_[L"fw_V1.img"]},
                                                       {0x110F, images_[L"sub\\fw_V2.img"]}};
    int written = 0;
    for (const ListedDevice& device : ListVirtualDevices()) {
        if ((device.instanceId != first && device.instanceId != second) || !device.written) continue;
        ++written;
        EXPECT_EQ(imageFor.at(device.productId), Flash(device.instanceId)) << "product id " << device.productId;
    }
    EXPECT_EQ(1, written) << "one device per run; the other holds nothing";
    CloseAndExpectExit();
}

void PrintTo(const PlugOrder& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(PlugOrders, TwoDevicesTest,
                         ::testing::Values(PlugOrder{"VersionOneFirst", L"0x110B", L"0x110F"},
                                           PlugOrder{"VersionTwoFirst", L"0x110F", L"0x110B"}),
                         [](const ::testing::TestParamInfo<PlugOrder>& info) { return info.param.name; });

TEST_F(WriteRunTest, AnImageTaggedV10IsNotTakenForVersionOne) {
    TempDir content;
    const FileTree images = {{L"a_V10.img", ImageBytes('a')}, {L"fw_V1.img", ImageBytes('1')}};
    ASSERT_TRUE(WriteTree(content.path(), images));
    const std::wstring package = folder_ / L"tagged.bin";
    ASSERT_EQ(0, MakePackage(content.path(), package, kPackagePassword));

    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 300");
    SetFirmwarePath(package);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    EXPECT_EQ(images.at(L"fw_V1.img"), Flash(device));
    CloseAndExpectExit();
}

TEST_F(WriteRunTest, TheDialogAnswersDuringALongUnpackingAndRefusesToEndMeanwhile) {
    const std::wstring package = MakeLargePackage(folder_, 96 << 20);
    ASSERT_FALSE(package.empty());
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 300").empty());
    SetFirmwarePath(package);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));

    UniqueHandle sevenZip = WaitForExtractionOf(tool_->id());
    ASSERT_TRUE(sevenZip);
    DWORD_PTR ignored = 0;
    EXPECT_NE(0, ::SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored))
        << "the dialog does not answer while 7za runs";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(sevenZip.get(), 0))
        << "7za ended before the answer came: the package is too small to tell";
    // Neither a close request, nor Escape, nor a second click may do anything now; the buttons say so.
    EXPECT_FALSE(tool_->Click(IDC_START_WRITING));
    ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
    tool_->SendCommand(IDCANCEL);
    tool_->SendCommand(IDC_START_WRITING);
    DWORD_PTR answer = 1;
    ::SendMessageTimeoutW(dialog_, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    EXPECT_EQ(0u, answer) << "the session may not end while the run is prepared";

    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 120000));
    EXPECT_EQ(L"Write successful", box.text);
    DismissMessageBox(box.window);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    MessageBoxInfo another;
    EXPECT_FALSE(WaitForMessageBox(tool_->id(), &another, 1000)) << "only one run took place";
    EXPECT_TRUE(tool_->running()) << "the close request and Escape were refused";
    CloseAndExpectExit();
}

// A file of the workspace that another program holds: its deletion is retried for five seconds at Start
// Writing, and the window keeps answering meanwhile.
TEST_F(WriteRunTest, TheDialogAnswersWhileALockedFileIsWaitedFor) {
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 200").empty());
    const std::wstring locked = WorkspaceBase() + L"held by another program.tmp";
    ASSERT_TRUE(WriteFileBytes(locked, "x"));
    {
        const UniqueFile held = LockFile(locked);
        ASSERT_TRUE(held);
        SetFirmwarePath(package_);
        ASSERT_TRUE(tool_->Click(IDC_START_WRITING));
        ::Sleep(1000);  // the housekeeping meets the file and waits for it
        const ULONGLONG asked = ::GetTickCount64();
        DWORD_PTR ignored = 0;
        EXPECT_NE(0, ::SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored));
        EXPECT_LT(::GetTickCount64() - asked, 1000u) << "the dialog's thread slept through its messages";
    }
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 60000));
    EXPECT_EQ(L"Write successful", box.text) << "the run went on once the file was let go";
    DismissMessageBox(box.window);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box.window); }));
    EXPECT_FALSE(FileExists(locked));
    CloseAndExpectExit();
}

TEST_F(WriteRunTest, AnUpperCaseBinPackageIsUnpacked) {
    const std::wstring package = folder_ / L"FIRMWARE.BIN";
    ASSERT_TRUE(::CopyFileW(package_.c_str(), package.c_str(), TRUE));
    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 300");
    SetFirmwarePath(package);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    EXPECT_EQ(images_[L"fw_V1.img"], Flash(device));
    CloseAndExpectExit();
}

// While the device is written, no decrypted image of the package is left anywhere in the workspace (a
// power loss would leave it on disk): only the secure copy and the three decoys, all named fw_<hex>.img.
TEST_F(WriteRunTest, EveryUnpackedFileGoesBeforeTheDeviceIsWritten) {
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 3000").empty());
    SetFirmwarePath(package_);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));
    ASSERT_TRUE(WaitFor([&] { return IsShown(Control(IDC_PROGRESS)); }, 30000)) << "the write runs";

    EXPECT_TRUE(UnpackedImagesLeft().empty()) << "the other versions' images are gone too";
    size_t images = 0, folders = 0;
    for (const std::wstring& name : ListEntries(WorkspaceBase())) {
        if (!(AttributesOf(WorkspaceBase() + name) & FILE_ATTRIBUTE_DIRECTORY)) continue;
        ++folders;
        for (const std::wstring& inner : ListEntries(WorkspaceBase() + name + L"\\")) {
            EXPECT_TRUE(inner.size() == 39 && inner.compare(0, 3, L"fw_") == 0) << "left: " << std::string(inner.begin(), inner.end());
            ++images;
        }
    }
    EXPECT_EQ(4u, folders) << "the run folder and three decoy folders";
    EXPECT_EQ(4u, images) << "the secure copy and three decoys";

    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 60000));
    EXPECT_EQ(L"Write successful", box.text);
    DismissMessageBox(box.window);
    CloseAndExpectExit();
}

// 7-Zip keeps the read-only attribute of packed files; such images must go like any other.
TEST_F(WriteRunTest, ReadOnlyImagesOfThePackageLeaveNothingBehind) {
    TempDir content;
    ASSERT_TRUE(WriteTree(content.path(), images_));
    const ScopeExit writable([&] {
        for (const auto& image : images_) ::SetFileAttributesW((content / image.first).c_str(), FILE_ATTRIBUTE_NORMAL);
    });
    for (const auto& image : images_) ::SetFileAttributesW((content / image.first).c_str(), FILE_ATTRIBUTE_READONLY);
    const std::wstring package = folder_ / L"read-only.bin";
    ASSERT_EQ(0, MakePackage(content.path(), package, kPackagePassword));
    const auto pendingBefore = PendingDeletionPaths();

    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 300");
    SetFirmwarePath(package);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    EXPECT_EQ(images_[L"fw_V1.img"], Flash(device));
    EXPECT_TRUE(ListEntries(WorkspaceBase()).empty()) << "no firmware and no run folder left";
    CloseAndExpectExit();
    EXPECT_EQ(pendingBefore, PendingDeletionPaths()) << "nothing was left for a restart to delete";
}

TEST_F(WriteRunTest, AFullDiskIsToldAsSuchAndWhatWasUnpackedGoes) {
    // An image twice as large as the volume the workspace is put on, stored without compression.
    TempDir content;
    ASSERT_TRUE(WriteTree(content.path(), {{L"fw_V1.img", ImageBytes('1', 16 << 20)}}));
    const std::wstring package = folder_ / L"large.bin";
    ASSERT_EQ(0, MakePackage(content.path(), package, kPackagePassword, L"-mx0"));
    TempDir local;
    const RelocatedLocalAppData relocated(local.path());
    ASSERT_TRUE(relocated.relocated());
    SmallVolume volume(local.path(), 8);
    if (!volume.mounted()) GTEST_SKIP() << "no small volume can be mounted for the workspace here (needs root)";

    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 300").empty());
    SetFirmwarePath(package);
    const MessageBoxInfo box = StartWritingAndReadBox();
    EXPECT_EQ(L"7z Extraction Failed", box.caption);
    EXPECT_EQ(Format(L"Extraction failed: the disk that holds %s is full.\nFree some disk space and try again.",
                     WorkspaceBase().c_str()),
              box.text);
    EXPECT_EQ(0u, MessageLines().back().find(L"Extraction failed (7za exit code=")) << "the exit code is kept in the list";
    EXPECT_TRUE(UnpackedImagesLeft().empty());
    ULARGE_INTEGER available{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(WorkspaceBase().c_str(), &available, nullptr, nullptr));
    EXPECT_GT(available.QuadPart, 2u << 20) << "the volume is not left full";
    CloseAndExpectExit();
}

TEST_F(WriteRunTest, APickedImageIsWrittenDirectlyAndLeftInPlace) {
    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--upgrade-ms 300");
    const std::wstring image = folder_ / L"MY IMAGE.IMG";
    ASSERT_TRUE(WriteFileBytes(image, ImageBytes('x', 70000)));
    SetFirmwarePath(image);
    EXPECT_EQ(L"Write successful", StartWritingAndReadBox().text);
    EXPECT_EQ(ImageBytes('x', 70000), Flash(device));
    EXPECT_EQ(ImageBytes('x', 70000), ReadFileBytes(image)) << "the user's own file stays";
    CloseAndExpectExit();
}

TEST_F(WriteRunTest, PicksTheFirmwareThroughTheFileDialog) {
    ASSERT_TRUE(Start());
    std::wstring why;
    EXPECT_TRUE(tool_->PickFile(package_, &why)) << std::string(why.begin(), why.end());
    EXPECT_EQ(package_, WindowText(Control(IDC_FIRMWARE_PATH)));
    CloseAndExpectExit();
}

struct RefusedCase {
    const char* name;
    const wchar_t* deviceOptions;  // null: no device; devices apart are separated by "|"
    // "<package>": the good package; "<package in use>": the good package, open for writing by another
    // program; "<empty image package>": one whose V1 image has 0 bytes; "<missing>": a path naming no file;
    // "": none; "empty.img": an image of 0 bytes; else a file holding "not a
    // package" to make (below folders made as needed).
    const wchar_t* firmware;
    const wchar_t* caption;
    const wchar_t* text;
};


class RefusedRunTest : public WriteRunTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedRunTest, EndsWithAMessageAndStartsNothing) {
    const RefusedCase& c = GetParam();
    ASSERT_TRUE(Start());
    if (c.deviceOptions) {
        std::wstring options = c.deviceOptions;
        for (size_t bar; (bar = options.find(L'|')) != std::wstring::npos; options.erase(0, bar + 1))
            ASSERT_FALSE(devices_.Plug(options.substr(0, bar)).empty());
        ASSERT_FALSE(devices_.Plug(options).empty());
    }
    std::wstring firmware = c.firmware;
    UniqueFile writer;
    if (firmware == L"<package>") {
        firmware = package_;
    } else if (firmware == L"<package in use>") {
        firmware = package_;
        writer.reset(::CreateFileW(package_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
    } else if (firmware == L"<empty image package>") {
        TempDir content;
        ASSERT_TRUE(WriteTree(content.path(), {{L"fw_V1.img", ""}, {L"sub\\fw_V2.img", ImageBytes('2')}}));
        firmware = folder_ / L"empty image.bin";
        ASSERT_EQ(0, MakePackage(content.path(), firmware, kPackagePassword));
    } else if (firmware == L"<missing>") {
        firmware = folder_ / L"missing.bin";
    } else if (!firmware.empty()) {
        ASSERT_TRUE(WriteTree(folder_.path(), {{firmware, firmware == L"empty.img" ? "" : "not a package"}}));
        firmware = folder_ / firmware;
    }
    SetFirmwarePath(firmware);
    // Without a device the button is greyed: only a command, which no click can give, reaches the run.
    const MessageBoxInfo box = c.deviceOptions ? StartWritingAndReadBox() : CommandAndReadBox(IDC_START_WRITING, 60000);
    EXPECT_EQ(c.caption, box.caption);
    EXPECT_EQ(Format(c.text, firmware.c_str()), box.text);  // "%s" stands for the firmware path
    // Nothing was started: the button is as the device status set it (disabled without a device).
    ASSERT_TRUE(tool_->WaitUntilReady());
    EXPECT_EQ(c.deviceOptions != nullptr, IsEnabled(Control(IDC_START_WRITING)));
    EXPECT_TRUE(UnpackedImagesLeft().empty()) << "no firmware of the package outlives the refused run";
    for (const ListedDevice& device : ListVirtualDevices()) EXPECT_FALSE(device.written) << "nothing was written";
    CloseAndExpectExit();
}

void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedRunTest,
    ::testing::Values(
        RefusedCase{"NoFirmware", L"", L"", L"Message", L"Please select firmware data"},
        RefusedCase{"UnknownExtension", L"", L"firmware.zip", L"Error", L"Unsupported firmware format."},
        RefusedCase{"NoExtension", L"", L"firmware", L"Error", L"Unsupported firmware format."},
        RefusedCase{"DotOnlyInAFolderName", L"", L"firm.bin\\firmware", L"Error", L"Unsupported firmware format."},
        RefusedCase{"NoSuchPackage", L"", L"<missing>", L"File Not Found", L"The firmware file was not found:\n%s"},
        RefusedCase{"NotAPackage", L"", L"broken.7z", L"7z Extraction Failed",
                    L"Extraction failed (7za exit code=2). Please verify the password or file integrity."},
        RefusedCase{"PackageOpenForWriting", L"", L"<package in use>", L"7z Extraction Failed",
                    L"The firmware package %s cannot be opened, or another program has it open for writing. "
                    L"Nothing was written.\nClose the program that uses it, then press Start Writing again."},
        RefusedCase{"NoDeviceAfterUnpacking", nullptr, L"<package>", L"Message", L"No found device!"},
        RefusedCase{"NoImageForTheVersion", L"--pid 0x1234", L"<package>", L"File Not Found",
                    L"No .img file for V0 was found in the extracted folder."},
        RefusedCase{"EmptyImageInThePackage", L"--pid 0x110B", L"<empty image package>", L"Error",
                    L"The firmware image is empty (0 bytes). Nothing was written."},
        RefusedCase{"EmptyPickedImage", L"--pid 0x110B", L"empty.img", L"Error",
                    L"The firmware image is empty (0 bytes). Nothing was written."},
        RefusedCase{"PickedImageWithTwoVersionsAttached", L"--pid 0x110B|--pid 0x110F", L"picked.img", L"Error",
                    L"Transmitters of more than one hardware version are connected, and the chosen image file "
                    L"does not say which one it is for. Nothing was written.\nConnect only the transmitter to be "
                    L"written, then press Start Writing again."}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

struct FailedWriteCase {
    const char* name;
    const wchar_t* deviceOptions;
    const wchar_t* lastLine;
};

class FailedWriteTest : public WriteRunTest, public ::testing::WithParamInterface<FailedWriteCase> {};

TEST_P(FailedWriteTest, SaysWriteFailedAndCleansUp) {
    const FailedWriteCase& c = GetParam();
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(std::wstring(c.deviceOptions) + L" --version V3.1.4").empty());
    SetFirmwarePath(package_);
    const MessageBoxInfo box = StartWritingAndReadBox();
    EXPECT_EQ(L"Message", box.caption);
    EXPECT_EQ(L"Write failed", box.text);
    EXPECT_EQ(c.lastLine, MessageLines().back());
    EXPECT_TRUE(ListEntries(WorkspaceBase()).empty());
    // The library was initialised again: the version can be read at once, and it is still the old one.
    ASSERT_TRUE(tool_->Click(IDC_CONFIRM_VERSION));
    MessageBoxInfo version;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &version));
    EXPECT_EQ(L"Version : V3.1.4", version.text) << "the version the device had before the failed write";
    DismissMessageBox(version.window);
    CloseAndExpectExit();
}

void PrintTo(const FailedWriteCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedWriteTest,
    ::testing::Values(FailedWriteCase{"UpgradeRefused", L"--fail-upgrade --upgrade-ms 200", L"Download firmware failed!"},
                      FailedWriteCase{"NoDeviceInAnUpgradableMode", L"--mode 3", L"No found device to upgrade!"}),
    [](const ::testing::TestParamInfo<FailedWriteCase>& info) { return info.param.name; });

// A session that ends under a write after all (its refusal overridden) ends the process with the run:
// every file of the workspace is gone then, or registered for deletion at restart, the secure copy that
// the upgrade library still reads among them.
TEST_F(WriteRunTest, TheEndOfTheSessionUnderAWriteLeavesNoFirmwareThatIsNotRegisteredForDeletion) {
    ASSERT_TRUE(Start());
    ASSERT_FALSE(devices_.Plug(L"--pid 0x110B --upgrade-ms 20000").empty());
    SetFirmwarePath(package_);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));
    // The files of the run folders, and whether one of them is held against deletion (the secure copy,
    // once the upgrade library reads it).
    const auto runFiles = [] {
        std::vector<std::wstring> files;
        for (const std::wstring& name : ListEntries(WorkspaceBase())) {
            const std::wstring path = WorkspaceBase() + name;
            if (!(AttributesOf(path) & FILE_ATTRIBUTE_DIRECTORY)) continue;
            for (const std::wstring& inner : ListEntries(path + L"\\")) files.push_back(path + L"\\" + inner);
        }
        return files;
    };
    const auto oneIsHeld = [&] {
        for (const std::wstring& file : runFiles()) {
            const UniqueFile probe(::CreateFileW(file.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
            if (!probe && ::GetLastError() == ERROR_SHARING_VIOLATION) return true;
        }
        return false;
    };
    // After the copy (which holds its file unshared too), once the device is written.
    ASSERT_TRUE(WaitFor([&] { return IsShown(Control(IDC_PROGRESS)); }, 30000)) << "the write runs";
    ASSERT_TRUE(WaitFor(oneIsHeld, 30000)) << "the upgrade library reads the secure copy";

    DWORD_PTR answer = 1;
    ASSERT_NE(0, ::SendMessageTimeoutW(dialog_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_EQ(0u, answer) << "the session may not end under a write";
    ::SendMessageTimeoutW(dialog_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 15000, &answer);
    tool_->Kill();  // as the system ends the process once the session ends
    ASSERT_TRUE(tool_->WaitForExit(10000));

    const std::vector<std::wstring> files = runFiles();
    ASSERT_FALSE(files.empty()) << "the secure copy was still held by the upgrade library";
    for (const std::wstring& file : files) {
        EXPECT_TRUE(IsRegisteredForDeletion(file)) << "left unregistered: " << std::string(file.begin(), file.end());
        RemoveDeletionRegistration(file);
    }
}

TEST_F(WriteRunTest, ADeviceUnpluggedMidWriteFailsTheWrite) {
    ASSERT_TRUE(Start());
    const std::wstring device = devices_.Plug(L"--upgrade-ms 20000");
    SetFirmwarePath(package_);
    ASSERT_TRUE(tool_->Click(IDC_START_WRITING));
    ASSERT_TRUE(WaitFor([&] { return IsShown(Control(IDC_PROGRESS)); }, 30000));
    ASSERT_TRUE(devices_.Unplug(device));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(tool_->id(), &box, 30000));
    EXPECT_EQ(L"Write failed", box.text);
    // Back to idle, the buttons follow the device again: none is there to write to or read from.
    EXPECT_FALSE(IsEnabled(Control(IDC_START_WRITING)));
    EXPECT_FALSE(IsEnabled(Control(IDC_CONFIRM_VERSION)));
    EXPECT_TRUE(IsEnabled(Control(IDC_SELECT)));
    DismissMessageBox(box.window);
    // The unplugging adds its own "[Status]" lines around the worker's.
    const auto lines = MessageLines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), L"Download firmware failed!"));
    EXPECT_EQ(lines.end(), std::find(lines.begin(), lines.end(), L"Download firmware ok"));
    CloseAndExpectExit();
}

}  // namespace
}  // namespace vandrel::test
