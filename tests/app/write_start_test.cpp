// The main dialog run in this process, for what cannot be reached from outside: a worker thread that
// cannot be started, and devices that change between the preparation and the worker's start.
#include <gtest/gtest.h>

#include <thread>

#include "app/vandrel_dlg.h"
#include "common/scope_exit.h"
#include "common/text.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/support/driving.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/secure_workspace.h"
#include "resources/resource.h"

namespace vandrel {
namespace {

using namespace vandrel::test;

bool FailToStart(AFX_THREADPROC, LPVOID) { return false; }

std::vector<std::wstring> ImagesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    UniqueFind find(::FindFirstFileW((folder + L"fw_*.img").c_str(), &entry));
    if (!find) return names;
    do names.push_back(entry.cFileName);
    while (::FindNextFileW(find.get(), &entry));
    return names;
}

// The main dialog of this process once it can be used, or null.
HWND WaitForOwnDialog() {
    const std::unique_ptr<ToolDriver> self = ToolDriver::Attach(::GetCurrentProcessId(), 30000);
    return self ? self->WaitUntilReady() : nullptr;
}

// A worker start held back until the test lets it go.
struct HeldWorker {
    AFX_THREADPROC proc = nullptr;
    LPVOID param = nullptr;
    UniqueHandle requested{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};
HeldWorker* held = nullptr;

bool HoldWorkerStart(AFX_THREADPROC proc, LPVOID param) {
    held->proc = proc;
    held->param = param;
    ::SetEvent(held->requested.get());
    return true;
}

class PluggedVersionOne : public ::testing::Test {
protected:
    void SetUp() override {
        UnplugAllVirtualDevices();
        ASSERT_TRUE(service_.Install());
        device_ = devices_.Plug(L"--pid 0x110B --upgrade-ms 200");
        ASSERT_FALSE(device_.empty());
    }
    RockusbServiceGuard service_;
    PluggedDevices devices_;
    std::wstring device_;
};

TEST_F(PluggedVersionOne, AWorkerThatCannotStartLeavesTheDialogIdleAndTellsTheUser) {
    TempDir folder;
    const std::wstring image = folder / L"fw.img";
    ASSERT_TRUE(WriteFileBytes(image, std::string(70000, 'i')));

    CVandrelDlg dialog;
    dialog.SetThreadStarter(FailToStart);
    MessageBoxInfo box;
    bool selectEnabled = false;
    std::vector<std::wstring> imagesLeft{L"not looked at"};
    std::thread user([&] {
        const HWND window = WaitForOwnDialog();
        if (!window) return;
        ::SendMessageW(::GetDlgItem(window, IDC_FIRMWARE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(image.c_str()));
        if (Click(window, IDC_START_WRITING) && WaitForMessageBox(::GetCurrentProcessId(), &box, 30000, window)) {
            selectEnabled = IsEnabled(::GetDlgItem(window, IDC_SELECT));
            imagesLeft = ImagesIn(GetRunFolder(false));
            DismissMessageBox(box.window);
        }
        WaitFor([&] { return IsReady(window); });  // Escape closes an idle dialog only
        SendCommand(window, IDCANCEL);             // the Escape key
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    user.join();

    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(L"The write could not be started.", box.text);
    EXPECT_TRUE(selectEnabled) << "back to idle: the run controls are enabled";
    EXPECT_TRUE(imagesLeft.empty()) << "the secure copy is deleted";
    EXPECT_TRUE(FileExists(image)) << "the user's own image stays";
}

TEST(WriteStart, AWorkerThatFindsOnlyADeviceOfAnotherProductWritesNothing) {
    TempDir content, folder;
    ASSERT_TRUE(WriteTree(content.path(), {{L"fw_V1.img", std::string(70000, '1')}, {L"fw_V2.img", std::string(70000, '2')}}));
    const std::wstring package = folder / L"firmware.bin";
    ASSERT_EQ(0, MakePackage(content.path(), package, kPackagePassword));
    UnplugAllVirtualDevices();
    RockusbServiceGuard service;
    ASSERT_TRUE(service.Install());
    PluggedDevices devices;
    const std::wstring versionOne = devices.Plug(L"--pid 0x110B --upgrade-ms 200");
    ASSERT_FALSE(versionOne.empty());

    HeldWorker worker;
    held = &worker;
    const ScopeExit forget([] { held = nullptr; });
    CVandrelDlg dialog;
    dialog.SetThreadStarter(HoldWorkerStart);
    MessageBoxInfo box;
    std::vector<std::wstring> lines;
    std::wstring versionTwo;
    std::thread user([&] {
        const HWND window = WaitForOwnDialog();
        if (!window) return;
        ::SendMessageW(::GetDlgItem(window, IDC_FIRMWARE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(package.c_str()));
        // The image for version 1 is prepared; before the worker scans, that device gives way to another.
        if (Click(window, IDC_START_WRITING) && ::WaitForSingleObject(worker.requested.get(), 60000) == WAIT_OBJECT_0) {
            devices.Unplug(versionOne);
            versionTwo = devices.Plug(L"--pid 0x110F --upgrade-ms 200");
            AfxBeginThread(worker.proc, worker.param, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
            if (WaitForMessageBox(::GetCurrentProcessId(), &box, 60000, window)) {
                lines = ListBoxLines(::GetDlgItem(window, IDC_MESSAGE_LIST));
                DismissMessageBox(box.window);
                WaitFor([&] { return !::IsWindow(box.window); });
            }
        }
        WaitFor([&] { return IsReady(window); });  // Escape closes an idle dialog only
        SendCommand(window, IDCANCEL);             // the Escape key
    });
    dialog.DoModal();
    user.join();

    EXPECT_EQ(L"Write failed", box.text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(L"No found device with product id 0x110B to upgrade: the image is for V1, nothing was written.",
              lines.back());
    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(versionTwo, listed));
    EXPECT_FALSE(listed.written) << "the version 2 device must not get the version 1 image";
}

// Runs the dialog, writes path once as a user would, and returns the box that ended the click (empty
// caption when none came); closes the dialog with Escape.
MessageBoxInfo WriteOnce(CVandrelDlg& dialog, const std::wstring& path, bool* idleAfterwards = nullptr) {
    MessageBoxInfo box;
    std::thread user([&] {
        const HWND window = WaitForOwnDialog();
        if (!window) return;
        ::SendMessageW(::GetDlgItem(window, IDC_FIRMWARE_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        if (Click(window, IDC_START_WRITING) && WaitForMessageBox(::GetCurrentProcessId(), &box, 60000, window)) {
            if (idleAfterwards) *idleAfterwards = IsEnabled(::GetDlgItem(window, IDC_SELECT));
            DismissMessageBox(box.window);
            WaitFor([&] { return !::IsWindow(box.window); });
        }
        WaitFor([&] { return IsReady(window); });  // Escape closes an idle dialog only
        SendCommand(window, IDCANCEL);             // the Escape key
    });
    dialog.DoModal();
    user.join();
    return box;
}

BOOL WINAPI RefusePost(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A full message queue refuses the worker's post of the run's end: the dialog must still return to idle
// and tell the result, or it would stay busy for ever and block every logoff.
TEST_F(PluggedVersionOne, TheEndOfARunReachesTheDialogWhenItsPostIsRefused) {
    TempDir folder;
    const std::wstring image = folder / L"fw_V1.img";
    ASSERT_TRUE(WriteFileBytes(image, std::string(70000, '1')));
    CVandrelDlg dialog;
    dialog.SetRunEndPoster(&RefusePost);
    bool idle = false;
    EXPECT_EQ(L"Write successful", WriteOnce(dialog, image, &idle).text);
    EXPECT_TRUE(idle);
    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(device_, listed));
    EXPECT_TRUE(listed.written);
}

// The picked image is emptied after it was found non-empty, just before its copy (the name of the secure
// copy is the first thing the dialog's thread makes after the check): the copy of 0 bytes is refused,
// never written.
std::wstring g_emptiedImage;
DWORD g_dialogThread = 0;
int g_namesMade = 0;
std::wstring EmptyTheImageBeforeItsCopy() {
    // On the dialog's thread, one name for the run folder, then the secure copy's (the decoys' names are
    // made on a thread of their own).
    if (::GetCurrentThreadId() == g_dialogThread && ++g_namesMade == 2) WriteFileBytes(g_emptiedImage, "");
    return NewNameDigits();
}

TEST_F(PluggedVersionOne, AnImageEmptiedAfterItsCheckIsNotWritten) {
    TempDir folder;
    g_emptiedImage = folder / L"fw_V1.img";
    g_dialogThread = ::GetCurrentThreadId();
    g_namesMade = 0;
    ASSERT_TRUE(WriteFileBytes(g_emptiedImage, std::string(70000, '1')));
    const NameDigitsOverride names(&EmptyTheImageBeforeItsCopy);
    CVandrelDlg dialog;
    const MessageBoxInfo box = WriteOnce(dialog, g_emptiedImage);
    EXPECT_EQ(2, g_namesMade) << "the run made its names as this test expects";
    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(L"The firmware image is empty (0 bytes). Nothing was written.", box.text);
    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(device_, listed));
    EXPECT_FALSE(listed.written);
}

}  // namespace
}  // namespace vandrel
