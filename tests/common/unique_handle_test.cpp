// Handle owners: what counts as holding a handle, and that what is held is closed.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/unique_handle.h"
#include "tests/support/temp_dir.h"

namespace vandrel {
namespace {

bool IsOpenHandle(HANDLE h) {
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

TEST(UniqueFile, NeitherFailureValueCountsAsAHandle) {
    EXPECT_FALSE(UniqueFile(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(UniqueFile(nullptr)) << "what most calls other than CreateFileW return on failure";
    EXPECT_FALSE(UniqueFile()) << "a default one holds nothing";
}

TEST(UniqueFile, ClosesWhatItHoldsOnceAndNotWhatItReleased) {
    test::TempDir dir;
    const std::wstring path = dir / L"file";
    HANDLE raw = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, raw);
    {
        UniqueFile file(raw);
        EXPECT_TRUE(file);
        UniqueFile moved(std::move(file));
        EXPECT_FALSE(file);
        EXPECT_TRUE(IsOpenHandle(raw));
    }
    EXPECT_FALSE(IsOpenHandle(raw)) << "closed when its owner went";

    UniqueFile kept(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(kept);
    HANDLE released = kept.release();
    EXPECT_FALSE(kept);
    EXPECT_TRUE(IsOpenHandle(released));
    ::CloseHandle(released);
}

}  // namespace
}  // namespace vandrel
