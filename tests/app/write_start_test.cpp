// The main dialog run in this process, for what cannot be reached from outside: a worker thread that
// cannot be started.
#include <gtest/gtest.h>

#include <thread>

#include "app/vandrel_dlg.h"
#include "tests/support/temp_dir.h"
#include "tests/support/window_driver.h"
#include "workspace/secure_workspace.h"

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

TEST(WriteStart, AWorkerThatCannotStartLeavesTheDialogIdleAndTellsTheUser) {
    TempDir folder;
    const std::wstring image = folder / L"fw.img";
    ASSERT_TRUE(WriteFileBytes(image, std::string(70000, 'i')));

    CVandrelDlg dialog;
    dialog.SetThreadStarter(FailToStart);
    MessageBoxInfo box;
    bool startWritingEnabled = false;
    std::vector<std::wstring> imagesLeft{L"not looked at"};
    std::thread user([&] {
        HWND window = nullptr;
        WaitFor([&] {
            for (HWND w : TopLevelWindows(::GetCurrentProcessId()))
                if (::GetDlgItem(w, 1007) && IsShown(w)) window = w;
            return window != nullptr;
        });
        if (!window) return;
        ::SendMessageW(::GetDlgItem(window, 1000), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(image.c_str()));
        Click(window, 1007);
        if (WaitForMessageBox(::GetCurrentProcessId(), &box, 30000, window)) {
            startWritingEnabled = IsEnabled(::GetDlgItem(window, 1007));
            imagesLeft = ImagesIn(GetRunFolder(false));
            DismissMessageBox(box.window);
        }
        // Escape ends the dialog only when no write counts as running.
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    user.join();

    EXPECT_EQ(L"Error", box.caption);
    EXPECT_EQ(L"The write could not be started.", box.text);
    EXPECT_TRUE(startWritingEnabled);
    EXPECT_TRUE(imagesLeft.empty()) << "the secure copy is deleted";
    EXPECT_TRUE(FileExists(image)) << "the user's own image stays";
}

}  // namespace
}  // namespace vandrel
