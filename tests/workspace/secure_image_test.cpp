#include <windows.h>

#include <gtest/gtest.h>

#include "common/crc32.h"
#include "tests/support/temp_dir.h"
#include "tests/workspace/workspace_test_support.h"
#include "workspace/secure_image.h"
#include "workspace/secure_workspace.h"

namespace vandrel::test {
namespace {

const wchar_t kFixedDigits[] = L"0123456789ABCDEF0123456789ABCDEF";

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 977) & 0xFF);
    return bytes;
}

std::string Name(const std::wstring& path) {
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    return std::string(name.begin(), name.end());
}

using SecureImageFile = WorkspaceTest;

TEST_F(SecureImageFile, IsANewHiddenUnsharedFileInTheRunFolder) {
    const std::wstring run = GetRunFolder(true);
    std::wstring path;
    UniqueFile file;
    ASSERT_TRUE(CreateSecureImageFile(path, file));
    ASSERT_TRUE(file);

    EXPECT_EQ(run, path.substr(0, run.size()));
    const std::wstring name = path.substr(run.size());
    ASSERT_EQ(39u, name.size()) << Name(path);
    EXPECT_EQ(L"fw_", name.substr(0, 3));
    EXPECT_TRUE(IsUpperHex(name.substr(3, 32), 32)) << Name(path);
    EXPECT_EQ(L".img", name.substr(35));

    const DWORD attributes = AttributesOf(path);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);  // Wine keeps no FILE_ATTRIBUTE_TEMPORARY to read back

    // Share mode 0: nobody else opens it while the handle is held.
    UniqueFile other(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(other);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());

    // Each call takes a new name.
    std::wstring secondPath;
    UniqueFile second;
    ASSERT_TRUE(CreateSecureImageFile(secondPath, second));
    EXPECT_NE(path, secondPath);
}

TEST_F(SecureImageFile, NeverOverwritesAnExistingFile) {
    NameDigitsOverride fixed([] { return std::wstring(kFixedDigits); });
    const std::wstring existing = GetRunFolder(true) + L"fw_" + kFixedDigits + L".img";
    ASSERT_TRUE(WriteFileBytes(existing, "keep me"));

    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"held.bin", "x"));
    UniqueFile file(::CreateFileW((dir / L"held.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    std::wstring path = L"unchanged";

    EXPECT_FALSE(CreateSecureImageFile(path, file));
    EXPECT_FALSE(file);  // emptied first, also on failure
    EXPECT_EQ(L"unchanged", path);
    EXPECT_EQ("keep me", ReadFileBytes(existing));
}

TEST_F(SecureImageFile, FailsWithoutGuidOrRunFolder) {
    const std::wstring run = GetRunFolder(true);
    std::wstring path;
    UniqueFile file;
    {
        NameDigitsOverride noGuid([] { return std::wstring(); });
        EXPECT_FALSE(CreateSecureImageFile(path, file));
        EXPECT_FALSE(file);
        EXPECT_TRUE(ListEntries(run).empty());
    }
    ASSERT_TRUE(::RemoveDirectoryW(run.c_str()));
    EXPECT_FALSE(CreateSecureImageFile(path, file));
    EXPECT_FALSE(file);
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(FolderExists(run));
}

TEST_F(SecureImageFile, CopyReproducesTheSourceByteForByte) {
    TempDir dir;
    GetRunFolder(true);
    // Empty, one byte, exactly one block, several blocks with a partial last one.
    for (size_t size : {size_t{0}, size_t{1}, size_t{65536}, size_t{3 * 65536 + 123}}) {
        const std::string content = Pattern(size);
        ASSERT_TRUE(WriteFileBytes(dir / L"source.img", content));
        std::wstring path;
        UniqueFile file;
        ASSERT_TRUE(CreateSecureImageFile(path, file));
        const CopyOutcome copy = CopyFileToHandle(dir / L"source.img", file.get());
        EXPECT_TRUE(copy.copied) << size;
        EXPECT_EQ(size, copy.bytes) << "the bytes it moved";
        EXPECT_EQ(UpdateCrc32(0, content.data(), content.size()), copy.crc32) << size;
        file.reset();
        EXPECT_EQ(content, ReadFileBytes(path)) << size;
    }
}

TEST_F(SecureImageFile, CopyStartsAtTheBeginningOfTheDestination) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"source.img", "123"));
    GetRunFolder(true);
    std::wstring path;
    UniqueFile file;
    ASSERT_TRUE(CreateSecureImageFile(path, file));
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), "abcdef", 6, &written, nullptr));

    EXPECT_TRUE(CopyFileToHandle(dir / L"source.img", file.get()).copied);
    file.reset();
    EXPECT_EQ("123def", ReadFileBytes(path));
}

TEST_F(SecureImageFile, CopyFailuresAreReported) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"source.img", Pattern(1000)));
    GetRunFolder(true);
    std::wstring path;
    UniqueFile file;
    ASSERT_TRUE(CreateSecureImageFile(path, file));
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), "abc", 3, &written, nullptr));

    // A missing source leaves the destination untouched, its position included.
    const CopyOutcome missing = CopyFileToHandle(dir / L"missing.img", file.get());
    EXPECT_FALSE(missing.copied);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), missing.error);
    EXPECT_EQ(3u, ::SetFilePointer(file.get(), 0, nullptr, FILE_CURRENT));
    file.reset();

    // A destination that cannot be written.
    UniqueFile readOnly(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(readOnly);
    const CopyOutcome unwritable = CopyFileToHandle(dir / L"source.img", readOnly.get());
    EXPECT_FALSE(unwritable.copied);
    EXPECT_FALSE(IsDiskFull(unwritable.error));
}

}  // namespace
}  // namespace vandrel::test
