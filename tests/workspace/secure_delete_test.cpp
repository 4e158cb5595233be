#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "common/scope_exit.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/secure_delete.h"

namespace vandrel::test {
namespace {

// Removes the restart registration of a path when the test ends, whatever happened.
TEST(DeleteFileWithRetry, GoneAtOnceForExistingMissingAndEmptyPaths) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"existing.img", "x"));
    ASSERT_TRUE(WriteFileBytes(dir / L"hidden.img", "x"));
    ASSERT_TRUE(::SetFileAttributesW((dir / L"hidden.img").c_str(), FILE_ATTRIBUTE_HIDDEN));
    struct Case {
        const char* what;
        std::wstring path;
    };
    const Case cases[] = {
        {"existing file", dir / L"existing.img"},
        {"hidden file", dir / L"hidden.img"},
        {"missing file", dir / L"missing.img"},
        {"missing folder", dir / L"gone\\fw_0.img"},
        {"empty path", L""},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(DeleteFileWithRetry(c.path, kDeleteBudgetMs)) << c.what;
        if (!c.path.empty()) {
            EXPECT_FALSE(FileExists(c.path)) << c.what;
        }
    }
}

TEST(DeleteFileWithRetry, RetriesALockedFileUntilItIsReleased) {
    TempDir dir;
    const std::wstring path = dir / L"locked.img";
    ASSERT_TRUE(WriteFileBytes(path, "x"));
    UniqueFile lock = LockFile(path);
    ASSERT_TRUE(lock);

    std::thread release([&lock] {
        ::Sleep(400);
        lock.reset();
    });
    const bool deleted = DeleteFileWithRetry(path, kDeleteBudgetMs);
    release.join();
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(FileExists(path));
}

TEST(DeleteFileWithRetry, GivesUpOnAFileLockedBeyondTheBudget) {
    TempDir dir;
    const std::wstring path = dir / L"locked.img";
    ASSERT_TRUE(WriteFileBytes(path, "x"));
    UniqueFile lock = LockFile(path);
    ASSERT_TRUE(lock);

    EXPECT_FALSE(DeleteFileWithRetry(path, 300));
    EXPECT_TRUE(FileExists(path));
}

using ReadOnlyDeletionTest = WorkspaceTest;

// Archives keep the read-only attribute; in the workspace it must not keep a file alive, while a user's
// own read-only file elsewhere is never made deletable.
TEST_F(ReadOnlyDeletionTest, ClearedInsideTheWorkspaceOnly) {
    TempDir outside;
    const std::wstring inside = base() + L"run\\fw_V1.img";
    ASSERT_TRUE(::CreateDirectoryW((base() + L"run").c_str(), nullptr));
    const std::wstring users = outside / L"fw_V1.img";
    const std::wstring climbing = base() + L"..\\fw_V1.img";
    const ScopeExit writable([&] { ::SetFileAttributesW(users.c_str(), FILE_ATTRIBUTE_NORMAL); });
    for (const std::wstring& path : {inside, users}) {
        ASSERT_TRUE(WriteFileBytes(path, "image"));
        ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    }

    EXPECT_TRUE(DeleteFileWithRetry(inside, 300));
    EXPECT_FALSE(FileExists(inside));

    EXPECT_FALSE(DeleteFileWithRetry(users, 300));
    EXPECT_TRUE(AttributesOf(users) & FILE_ATTRIBUTE_READONLY) << "a file outside the workspace is left as it is";
    EXPECT_FALSE(IsInWorkspace(climbing)) << "a path that climbs out of the workspace is not in it";
}

TEST(DeleteOrScheduleAtReboot, RegistersNothingForPathsAlreadyGone) {
    TempDir dir;
    const std::wstring paths[] = {dir / L"missing.img", dir / L"gone\\fw_0.img"};
    for (const std::wstring& path : paths) {
        RegistrationCleanup cleanup(path);
        DeleteOrScheduleAtReboot(path);
        EXPECT_FALSE(IsRegisteredForDeletion(path));
    }
}

TEST(DeleteOrScheduleAtReboot, RegistersAFileStillLockedAfterFiveSeconds) {
    TempDir dir;
    const std::wstring path = dir / L"locked.img";
    ASSERT_TRUE(WriteFileBytes(path, "x"));
    RegistrationCleanup cleanup(path);
    UniqueFile lock = LockFile(path);
    ASSERT_TRUE(lock);

    const ULONGLONG start = ::GetTickCount64();
    DeleteOrScheduleAtReboot(path);
    const ULONGLONG elapsed = ::GetTickCount64() - start;

    EXPECT_GE(elapsed, kDeleteBudgetMs - 100);  // the whole budget was spent retrying
    EXPECT_TRUE(FileExists(path));
    EXPECT_TRUE(IsRegisteredForDeletion(path));
}

}  // namespace
}  // namespace vandrel::test
