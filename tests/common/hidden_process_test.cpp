#include <gtest/gtest.h>

#include <string>

#include "common/hidden_process.h"
#include "common/unique_handle.h"
#include "tests/common/token_facts.h"
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

// The facts of the probe's own token, as it reports them when started with rights.
std::string ProbeTokenFacts(HelperRights rights) {
    const test::TempDir folder;
    UniqueFile output;
    const UniqueHandle process = StartHiddenCapturing(
        L"\"" + test::BinFolder() + L"hidden-process-probe.exe\" 0 token", folder.path(), output, rights);
    if (!process) return "not started";
    OutputCollector collected(std::move(output));
    std::string text = collected.Take();
    DWORD exitCode = 99;
    if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process.get(), &exitCode) ||
        exitCode != 0)
        return "failed: " + text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string OwnTokenFacts() {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return "unreadable";
    return test::TokenFacts(token.get());
}

// A helper that opens untrusted input runs as the user without elevation: Administrators only denies,
// no privilege but change-notify is left, and the integrity level is the tool's own. A helper started with
// the tool's rights keeps them.
TEST(HiddenProcess, RestrictedHelperRunsWithoutAdministratorsAndPrivilegesAtTheSameLevel) {
    const std::string own = OwnTokenFacts();
    const std::string integrity = own.substr(own.find(" integrity="));
    EXPECT_EQ("administrators=deny-only privileges=SeChangeNotifyPrivilege" + integrity,
              ProbeTokenFacts(HelperRights::kRestricted));
    EXPECT_EQ(own, ProbeTokenFacts(HelperRights::kTools));
}

TEST(HiddenProcess, AProgramThatIsNotThereGivesNoHandle) {
    const test::TempDir folder;
    EXPECT_FALSE(StartHidden(L"\"" + folder.path() + L"absent.exe\"", folder.path()));
    const OwnJobHelper helper = StartHiddenInOwnJob(L"\"" + folder.path() + L"absent.exe\"", folder.path());
    EXPECT_FALSE(helper.process);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}

// Once an unpacking is over nothing 7-Zip started may live on; the helpers' job still takes the next one.
TEST(HiddenProcess, EndingTheHelpersEndsEveryOneAndLaterHelpersStillStart) {
    const test::TempDir folder;
    const std::wstring waiting = L"\"" + test::BinFolder() + L"hidden-process-probe.exe\" --wait";
    const UniqueHandle first = StartHidden(waiting, folder.path());
    const UniqueHandle second = StartHidden(waiting, folder.path(), HelperRights::kRestricted);
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EndHelpersNow();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(first.get(), 10000));
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(second.get(), 10000));

    const UniqueHandle later = StartHidden(waiting, folder.path());
    ASSERT_TRUE(later);
    BOOL inJob = FALSE;
    ASSERT_TRUE(::IsProcessInJob(later.get(), nullptr, &inJob));
    EXPECT_TRUE(inJob) << "a helper started after the others were ended is one of the tool's helpers again";
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(later.get(), 500));
    EndHelpersNow();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(later.get(), 10000));
}

// A helper in a job of its own is ended with the job (the tool killed mid-step), unless it was let go
// first (a driver installer past its time limit must be left to finish).
TEST(HiddenProcess, AHelperInItsOwnJobEndsWithTheJobUnlessLetGo) {
    const test::TempDir folder;
    const std::wstring command = L"\"" + test::BinFolder() + L"hidden-process-probe.exe\" --wait";
    for (const bool letGo : {false, true}) {
        SCOPED_TRACE(letGo ? "let go" : "held");
        OwnJobHelper helper = StartHiddenInOwnJob(command, folder.path());
        ASSERT_TRUE(helper.process);
        BOOL inJob = FALSE;
        ASSERT_TRUE(::IsProcessInJob(helper.process.get(), helper.job.get(), &inJob));
        EXPECT_TRUE(inJob);
        if (letGo) ASSERT_TRUE(LetOutlastTheTool(helper.job.get()));
        helper.job.reset();
        const DWORD waited = ::WaitForSingleObject(helper.process.get(), letGo ? 1000 : 10000);
        if (letGo) {
            EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), waited) << "a helper let go must outlive its job";
            ::TerminateProcess(helper.process.get(), 1);
        } else {
            EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), waited) << "closing the job must end its helper";
        }
    }
}

}  // namespace
}  // namespace vandrel
