// The stand-in RKUpgrade.dll called directly through its entry points, against real virtual devices.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/unique_handle.h"
#include "tests/support/stand_in_fixture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_transmitter_client.h"
#include "tests/support/driving.h"
#include "upgrade/rk_upgrade_api.h"

namespace vandrel::test {
namespace {

std::string Utf8(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) bytes += static_cast<char>(c);  // the paths here are ASCII
    return bytes;
}

struct CryptProviderTraits {
    using Type = HCRYPTPROV;
    static HCRYPTPROV Empty() noexcept { return 0; }
    static void Close(HCRYPTPROV h) noexcept { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
    using Type = HCRYPTHASH;
    static HCRYPTHASH Empty() noexcept { return 0; }
    static void Close(HCRYPTHASH h) noexcept { ::CryptDestroyHash(h); }
};

// SHA-256 through the older CryptoAPI, independent of the library's own hashing.
std::string Sha256Hex(const std::string& bytes) {
    Unique<CryptProviderTraits> provider;
    Unique<CryptHashTraits> hash;
    BYTE digest[32] = {};
    DWORD size = sizeof digest;
    if (!::CryptAcquireContextW(provider.put(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) ||
        !::CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, hash.put()) ||
        !::CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) ||
        !::CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &size, 0))
        return {};
    std::string hex;
    char two[3];
    for (BYTE b : digest) {
        snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

// The name of the one log file in folder, or empty.
std::wstring LogFileName(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    UniqueFind find(::FindFirstFileW((folder + L"RKUpgrade_*.log").c_str(), &found));
    return find ? found.cFileName : L"";
}

// Bytes that differ from block to block, so a misplaced chunk changes the hash.
std::string PatternBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

// The stand-in's entry points that the cases call, with whatever arguments a case needs.
struct StandInCalls {
    template <class Fn>
    static void Get(HMODULE module, const char* name, Fn& slot) {
        slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    }
    void Resolve(HMODULE module) {
        Get(module, "RK_InitializeW", RK_InitializeW);
        Get(module, "RK_Uninitialize", RK_Uninitialize);
        Get(module, "RK_ScanDeviceW", RK_ScanDeviceW);
        Get(module, "RK_SetFirmwareW", RK_SetFirmwareW);
        Get(module, "RK_UpgradeW", RK_UpgradeW);
        Get(module, "RK_ReadVendorRpmbData", RK_ReadVendorRpmbData);
    }

    rk::InitializeW RK_InitializeW = nullptr;
    rk::Uninitialize RK_Uninitialize = nullptr;
    rk::ScanDeviceW RK_ScanDeviceW = nullptr;
    rk::SetFirmwareW RK_SetFirmwareW = nullptr;
    rk::UpgradeW RK_UpgradeW = nullptr;
    rk::ReadVendorRpmbData RK_ReadVendorRpmbData = nullptr;
};

UpgradeOptions ToolOptions() {
    UpgradeOptions options{};
    options.word44 = 1;
    options.word48 = 1;
    return options;
}

class StandInLibrary : public StandInTest {
protected:
    void SetUp() override {
        StandInTest::SetUp();
        calls.Resolve(library.get());  // the binding has checked that every entry point is there
    }

    std::string Log() const {
        const std::wstring name = LogFileName(logs.path());
        return name.empty() ? std::string() : ReadFileBytes(logs / name);
    }

    TempDir work;
    // The same loaded library, called directly.
    StandInCalls calls;
};

TEST_F(StandInLibrary, ScanListsBoundRockchipDevicesInTreeOrder) {
    DeviceRecord* records = nullptr;
    EXPECT_EQ(calls.RK_ScanDeviceW(&records), 0);

    devices.Plug(L"--pid 0x110B --mode 2 --layer 11");
    ASSERT_EQ(calls.RK_ScanDeviceW(&records), 1);
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(records[0].productId, 0x110B);
    EXPECT_EQ(records[0].layer, 11u);
    EXPECT_EQ(records[0].mode, 2u);

    devices.Plug(L"--vid 0x1234 --layer 99");  // another vendor: never listed
    devices.Plug(L"--pid 0x110F --mode 1 --layer 12");
    devices.Plug(L"--pid 0x4321 --mode 0 --layer 13");
    ASSERT_EQ(calls.RK_ScanDeviceW(&records), 3);
    const struct { uint16_t pid; uint32_t layer, mode; } expected[] = {{0x110B, 11, 2}, {0x110F, 12, 1}, {0x4321, 13, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].productId, expected[i].pid) << i;
        EXPECT_EQ(records[i].layer, expected[i].layer) << i;
        EXPECT_EQ(records[i].mode, expected[i].mode) << i;
    }
}

TEST_F(StandInLibrary, ScanLeavesOutADeviceThatArrivedBeforeTheService) {
    ASSERT_TRUE(service.Remove());
    devices.Plug(L"--layer 21");
    ASSERT_TRUE(service.Install());
    devices.Plug(L"--layer 22");
    DeviceRecord* records = nullptr;
    ASSERT_EQ(calls.RK_ScanDeviceW(&records), 1);
    EXPECT_EQ(records[0].layer, 22u);
}

TEST_F(StandInLibrary, CallsBeforeInitialiseOrAfterUninitialiseFail) {
    devices.Plug(L"--layer 5");
    DeviceRecord* records = nullptr;
    calls.RK_Uninitialize();
    EXPECT_EQ(calls.RK_ScanDeviceW(&records), 0);
    BYTE buffer[8] = {};
    DWORD length = 8;
    EXPECT_FALSE(calls.RK_ReadVendorRpmbData(103, 0, buffer, &length, 5));
    ASSERT_TRUE(binding->Initialize(logs.path()));
    EXPECT_EQ(calls.RK_ScanDeviceW(&records), 1);
}

TEST_F(StandInLibrary, UpgradeStreamsTheImageIntoTheFlash) {
    const std::wstring id = devices.Plug(L"--layer 31 --upgrade-ms 200");
    const std::string image = PatternBytes(3 * 1024 * 1024 + 7);  // several chunks and a short tail
    ASSERT_TRUE(WriteFileBytes(work / L"fw.img", image));

    calls.RK_SetFirmwareW((work / L"fw.img").c_str(), 0);
    UpgradeOptions options = ToolOptions();
    EXPECT_NE(calls.RK_UpgradeW(&options, 31), FALSE);

    ListedDevice listed;
    ASSERT_TRUE(FindListedDevice(id, listed));
    ASSERT_TRUE(listed.written);
    EXPECT_EQ(listed.writtenSize, image.size());
    EXPECT_EQ(listed.sha256, Sha256Hex(image));
    EXPECT_TRUE(ReadFileBytes(VirtualFlashPath(id)) == image);

    ASSERT_TRUE(devices.Unplug(id));
    EXPECT_FALSE(FileExists(VirtualFlashPath(id))) << "unplug takes the flash content away";
}

TEST_F(StandInLibrary, UpgradeFailuresLeaveTheDeviceUnwritten) {
    ASSERT_TRUE(WriteFileBytes(work / L"fw.img", "image"));
    ::CreateDirectoryW((work / L"folder.img").c_str(), nullptr);
    const struct Case {
        const wchar_t* name;
        const wchar_t* plug;
        const wchar_t* image;
        DWORD layer;
    } cases[] = {
        {L"device set to fail", L"--layer 41 --upgrade-ms 50 --fail-upgrade", L"fw.img", 41},
        {L"missing image", L"--layer 42 --upgrade-ms 50", L"missing.img", 42},
        {L"unreadable image", L"--layer 43 --upgrade-ms 50", L"folder.img", 43},
        {L"no device at the layer", L"--layer 44 --upgrade-ms 50", L"fw.img", 4444},
    };
    for (const Case& c : cases) {
        const std::wstring id = devices.Plug(c.plug);
        calls.RK_SetFirmwareW((work / c.image).c_str(), 0);
        UpgradeOptions options = ToolOptions();
        EXPECT_EQ(calls.RK_UpgradeW(&options, c.layer), FALSE) << c.name;
        ListedDevice listed;
        ASSERT_TRUE(FindListedDevice(id, listed)) << c.name;
        EXPECT_FALSE(listed.written) << c.name;
    }
}

TEST_F(StandInLibrary, UnplugDuringTheWriteFailsItWithoutWaitingForTheEnd) {
    const std::wstring id = devices.Plug(L"--layer 51 --upgrade-ms 60000");
    ASSERT_TRUE(WriteFileBytes(work / L"fw.img", "image"));
    calls.RK_SetFirmwareW((work / L"fw.img").c_str(), 0);

    std::thread unplugger([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        devices.Unplug(id);
    });
    UpgradeOptions options = ToolOptions();
    const auto start = std::chrono::steady_clock::now();
    const BOOL written = calls.RK_UpgradeW(&options, 51);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    unplugger.join();

    EXPECT_EQ(written, FALSE);
    EXPECT_LT(elapsed, std::chrono::seconds(30)) << "the write did not notice the unplug";
    EXPECT_FALSE(FileExists(VirtualFlashPath(id)));
}

TEST_F(StandInLibrary, ReadVendorDataGivesTheVersionBytesOfTheDeviceAtTheLayer) {
    devices.Plug(L"--layer 61 --vendor-data 56312E322E330000");
    devices.Plug(L"--layer 62 --vendor-data E9FF000102030405");
    devices.Plug(L"--layer 63 --fail-read");
    const struct Case {
        DWORD layer;
        BOOL result;
        BYTE bytes[8];
    } cases[] = {
        {61, TRUE, {0x56, 0x31, 0x2E, 0x32, 0x2E, 0x33, 0x00, 0x00}},
        {62, TRUE, {0xE9, 0xFF, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05}},
        {63, FALSE, {}},
        {64, FALSE, {}},
    };
    for (const Case& c : cases) {
        BYTE buffer[8] = {};
        DWORD length = 8;
        EXPECT_EQ(calls.RK_ReadVendorRpmbData(103, 0, buffer, &length, c.layer) != FALSE, c.result != FALSE)
            << c.layer;
        EXPECT_EQ(std::string(buffer, buffer + 8), std::string(c.bytes, c.bytes + 8)) << c.layer;
    }
}

TEST_F(StandInLibrary, TheLogShowsAllThirteenInitialiseArguments) {
    // The tool's own call, made in SetUp.
    EXPECT_NE(Log().find("RK_InitializeW(0, 0, 0, 0, 0, 0, 30, 30, 0, 1, \"" + Utf8(logs.path()) + "\", 0, 0) -> 1"),
              std::string::npos)
        << Log();

    InitializeBlock block{};
    for (uint32_t i = 0; i < 9; ++i) block.words[i] = i + 1;
    EXPECT_EQ(calls.RK_InitializeW(block, TRUE, logs.path().c_str(), 77, 88), TRUE);
    EXPECT_NE(Log().find("RK_InitializeW(1, 2, 3, 4, 5, 6, 7, 8, 9, 1, \"" + Utf8(logs.path()) + "\", 77, 88) -> 1"),
              std::string::npos)
        << Log();

    SYSTEMTIME today{};
    ::GetLocalTime(&today);
    wchar_t expectedName[40];
    swprintf(expectedName, 40, L"RKUpgrade_%04u%02u%02u.log", today.wYear, today.wMonth, today.wDay);
    EXPECT_EQ(LogFileName(logs.path()), expectedName);
}

TEST_F(StandInLibrary, WithLoggingOffNothingIsWritten) {
    TempDir quiet;
    EXPECT_EQ(calls.RK_InitializeW(DefaultInitializeBlock(), FALSE, quiet.path().c_str(), 0, 0), TRUE);
    DeviceRecord* records = nullptr;
    calls.RK_ScanDeviceW(&records);
    EXPECT_EQ(LogFileName(quiet.path()), L"");
    EXPECT_EQ(Log().find("RK_ScanDeviceW"), std::string::npos) << "still logging into the earlier folder";
}

}  // namespace
}  // namespace vandrel::test
