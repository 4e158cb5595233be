// This program carries no IDR_7ZA_EXE, like a tool built without its extractor.
#include <windows.h>

#include <gtest/gtest.h>

#include "package/package_unpacking.h"
#include "tests/package/package_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/embedded_files.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {
namespace {

using Without7za = WorkspaceTest;

TEST_F(Without7za, ExtractionGivesAnEmptyPathAndWritesNothing) {
    EXPECT_EQ(L"", ExtractBuiltIn7za());
    EXPECT_TRUE(ListEntries(base()).empty());
}

TEST_F(Without7za, UnpackingShowsTheResourceMessageAndStartsNothing) {
    const std::wstring run = GetRunFolder(true);
    TempDir packages;
    ASSERT_TRUE(WriteFileBytes(packages / L"pkg.bin", "7z package stand-in"));
    RecordingOutput output;

    EXPECT_FALSE(UnpackPackage(packages / L"pkg.bin", output));

    ASSERT_EQ(1u, output.boxes.size());
    EXPECT_EQ(L"Built-in 7za cannot be extracted or written to the secure directory.\n"
              L"Please make sure that the resource IDR_7ZA_EXE is correctly embedded, and the current user has "
              L"write permission to %LOCALAPPDATA%\\QuorraUpgrade\\<GUID>.",
              output.boxes[0].text);
    EXPECT_EQ(L"7z Extraction Failed", output.boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), output.boxes[0].type);
    EXPECT_TRUE(ListEntries(run).empty());
    EXPECT_FALSE(FileExists(base() + L"7z.exe"));
    EXPECT_FALSE(FileExists(base() + L"7z.dll"));
}

}  // namespace
}  // namespace vandrel::test
