#include <gtest/gtest.h>

#include <string>

#include "common/hidden_process.h"
#include "common/unique_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/driving.h"

namespace vandrel {
namespace {

// 7za runs elevated from the tool: it must get none of the tool's handles, and its output must go
// nowhere rather than into a console made for it.
TEST(HiddenProcess, InheritsNoHandleOfTheStarterAndWritesItsOutputNowhere) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    ASSERT_TRUE(::CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0));
    const test::TempDir folder;
    const std::wstring command = L"\"" + test::BinFolder() + L"hidden-process-probe.exe\" " +
                                 std::to_wstring(reinterpret_cast<ULONG_PTR>(writeEnd.get()));

    const UniqueHandle process = StartHidden(command, folder.path());
    ASSERT_TRUE(process);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.get(), 30000));
    DWORD exitCode = 99;
    ASSERT_TRUE(::GetExitCodeProcess(process.get(), &exitCode));
    EXPECT_EQ(0u, exitCode) << "the child's output was a console, or writing to it failed";

    DWORD available = 1;
    ASSERT_TRUE(::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(0u, available) << "the child wrote into a handle it inherited";
}

TEST(HiddenProcess, AProgramThatIsNotThereGivesNoHandle) {
    const test::TempDir folder;
    EXPECT_FALSE(StartHidden(L"\"" + folder.path() + L"absent.exe\"", folder.path()));
}

}  // namespace
}  // namespace vandrel
