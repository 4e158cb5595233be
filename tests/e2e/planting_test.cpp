// The elevated tool trusts no DLL that a process without those rights can put beside it: it imports
// only DLLs that Windows takes from System32 whatever the folder (KnownDLLs, and comctl32 through the
// manifest), and loads the others from System32 by their full path.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "tests/e2e/tool_fixture.h"
#include "common/unique_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"

namespace vandrel::test {
namespace {

// The names of the DLLs a PE file imports statically (lower-cased); empty when it cannot be read.
std::vector<std::string> ImportedDlls(const std::wstring& program) {
    const std::string image = ReadFileBytes(program);
    std::vector<std::string> names;
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || image.size() < dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32)) return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    const bool wide = nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const IMAGE_DATA_DIRECTORY imports =
        wide ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT]
             : nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const char*>(&nt->OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
    // File offset of a relative virtual address, through the section that holds it.
    auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return image.size();
    };
    for (size_t at = offsetOf(imports.VirtualAddress); at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (descriptor->Name == 0) break;
        const size_t name = offsetOf(descriptor->Name);
        if (name >= image.size()) break;
        std::string dll(image.data() + name, strnlen(image.data() + name, image.size() - name));
        std::transform(dll.begin(), dll.end(), dll.begin(), [](char c) { return static_cast<char>(::tolower(c)); });
        names.push_back(dll);
    }
    return names;
}

TEST(ImportTable, NamesOnlyDllsThatWindowsTakesFromSystem32) {
    // KnownDLLs of Windows 7 to 11, and comctl32, which the manifest binds to the side-by-side version 6.
    const std::set<std::string> allowed = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll",
                                           "kernel32.dll", "msvcrt.dll",   "ole32.dll",    "oleaut32.dll",
                                           "setupapi.dll", "shell32.dll",  "shlwapi.dll",  "user32.dll"};
    const std::vector<std::string> imported = ImportedDlls(BinFolder() + L"Vandrel.exe");
    ASSERT_FALSE(imported.empty()) << "the import table could not be read";
    EXPECT_NE(imported.end(), std::find(imported.begin(), imported.end(), "kernel32.dll"));
    for (const std::string& dll : imported) EXPECT_TRUE(allowed.count(dll)) << dll << " can be planted beside the tool";
}

// Wine told to prefer DLLs found beside Vandrel.exe for version.dll and bcrypt.dll, as Windows' search
// order does for DLLs that are not KnownDLLs. Wine reads the setting at each process start, from its
// per-program registry key (an environment variable set here would not reach the tool's Wine loader).
class NativeFirstOverride {
public:
    NativeFirstOverride() {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key_.put(), nullptr) !=
            ERROR_SUCCESS)
            return;
        const wchar_t value[] = L"native,builtin";
        for (const wchar_t* dll : {L"version", L"bcrypt"})
            ::RegSetValueExW(key_.get(), dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    }
    ~NativeFirstOverride() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Vandrel.exe"); }
    NativeFirstOverride(const NativeFirstOverride&) = delete;
    NativeFirstOverride& operator=(const NativeFirstOverride&) = delete;
    bool set() const { return static_cast<bool>(key_); }

private:
    static constexpr wchar_t kKey[] = L"Software\\Wine\\AppDefaults\\Vandrel.exe\\DllOverrides";
    UniqueRegKey key_;
};

// A copy of the tool in a folder of its own (a Downloads folder), with a version.dll and a bcrypt.dll of
// an attacker's beside it.
class PlantedDllTest : public ToolTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(::CopyFileW((BinFolder() + L"Vandrel.exe").c_str(), (downloads_ / L"Vandrel.exe").c_str(), FALSE));
        for (const wchar_t* dll : {L"version.dll", L"bcrypt.dll"})
            ASSERT_TRUE(::CopyFileW((BinFolder() + L"planted_system_dll.dll").c_str(), (downloads_ / dll).c_str(), FALSE));
        UnplugAllVirtualDevices();
        ASSERT_TRUE(service_.Install());
    }

    bool Marked(const wchar_t* dll, const wchar_t* mark) const { return FileExists(downloads_ / dll + mark); }

    TempDir downloads_, firmware_;
    RockusbServiceGuard service_;
    PluggedDevices devices_;
};

TEST_F(PlantedDllTest, AWriteUsesNoneOfThem) {
    const NativeFirstOverride nativeFirst;
    ASSERT_TRUE(nativeFirst.set());
    const std::string image(300000, '\x5A');
    ASSERT_TRUE(WriteFileBytes(firmware_ / L"fw_V1.img", image));

    ASSERT_TRUE(Start(downloads_ / L"Vandrel.exe"));
    EXPECT_NE(std::wstring::npos, WindowText(dialog_).find(L" v")) << "the title still carries the version";
    const std::wstring device = devices_.Plug(L"--pid 0x110B --upgrade-ms 200");
    ASSERT_FALSE(device.empty());
    SetFirmwarePath(firmware_ / L"fw_V1.img");
    EXPECT_EQ(L"Write successful", ClickAndReadBox(IDC_START_WRITING, 60000).text);
    EXPECT_EQ(image, ReadFileBytes(VirtualFlashPath(device)));
    CloseAndExpectExit();

    // Wine's own user32 and setupapi import version.dll (Windows' do not), so under Wine that one is
    // loaded whatever the tool does; what counts is that the tool's code never calls into it.
    EXPECT_FALSE(Marked(L"version.dll", L".called")) << "the tool called the planted version.dll";
    EXPECT_FALSE(Marked(L"bcrypt.dll", L".called")) << "the tool called the planted bcrypt.dll";
    EXPECT_FALSE(Marked(L"bcrypt.dll", L".loaded")) << "the planted bcrypt.dll was loaded";
}

}  // namespace
}  // namespace vandrel::test
