#include "tests/e2e/write_run_fixture.h"

#include "tests/workspace/workspace_test_support.h"

namespace vandrel::test {

std::string ImageBytes(char tag, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + tag) & 0xFF);
    return bytes;
}

std::wstring MakeLargePackage(const TempDir& folder, size_t imageBytes) {
    TempDir content;
    if (!WriteTree(content.path(), {{L"fw_V0.img", ImageBytes('0', imageBytes)},
                                    {L"fw_V1.img", ImageBytes('1', imageBytes)},
                                    {L"fw_V2.img", ImageBytes('2', imageBytes)}}))
        return {};
    const std::wstring package = folder / L"large.bin";
    return MakePackage(content.path(), package, kPackagePassword, L"-mx0") == 0 ? package : std::wstring();
}

std::vector<std::wstring> UnpackedImagesLeft(const std::wstring& folder) {
    std::vector<std::wstring> found;
    for (const std::wstring& name : ListEntries(folder)) {
        const std::wstring path = folder + name;
        if (AttributesOf(path) & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& inner : UnpackedImagesLeft(path + L"\\")) found.push_back(inner);
        } else if (name.find(L"_V") != std::wstring::npos) {
            found.push_back(path);
        }
    }
    return found;
}

UniqueHandle WaitForExtractionOf(DWORD toolId, DWORD timeoutMs) {
    UniqueHandle extraction;
    WaitFor(
        [&] {
            const std::vector<DWORD> ids = ChildProcessIds(toolId, L"7z.exe");
            if (ids.size() == 1) extraction.reset(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, ids.front()));
            return static_cast<bool>(extraction);
        },
        timeoutMs);
    return extraction;
}

void WriteRunTest::SetUp() {
    UnplugAllVirtualDevices();
    ASSERT_TRUE(service_.Install());
    // No image for hardware version 0: a device of another product id has nothing to get.
    images_ = {{L"fw_V1.img", ImageBytes('1')}, {L"sub\\fw_V2.img", ImageBytes('2')}};
    ASSERT_TRUE(WriteTree(content_.path(), images_));
    package_ = folder_ / L"firmware package.bin";
    ASSERT_EQ(0, MakePackage(content_.path(), package_, kPackagePassword));
}

}  // namespace vandrel::test
