// The dialog templates Vandrel.exe carries, read from the built executable: size, caption, font and
// every control's place, style and caption, in English and Japanese.
#include <gtest/gtest.h>

#include <map>

#include "common/text.h"
#include "common/unique_handle.h"
#include "tests/support/driving.h"
#include "resources/resource.h"

namespace vandrel {
namespace {

struct Control {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring className;
    std::wstring caption;
};

struct Template {
    short cx = 0, cy = 0;
    DWORD style = 0, exStyle = 0;
    std::wstring caption;
    WORD pointSize = 0, weight = 0;
    std::wstring face;
    std::vector<std::pair<DWORD, Control>> controls;  // in tab order
};

// Reads a "string or ordinal" field; ordinals of predefined classes come back as their names.
std::wstring ReadField(const WORD*& p) {
    if (*p == 0x0000) return ++p, L"";
    if (*p == 0xFFFF) {
        static const std::map<WORD, std::wstring> classes = {
            {0x80, L"Button"}, {0x81, L"Edit"}, {0x82, L"Static"}, {0x83, L"ListBox"}};
        const WORD ordinal = p[1];
        p += 2;
        auto found = classes.find(ordinal);
        return found != classes.end() ? found->second : L"#" + std::to_wstring(ordinal);
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(p));
    p += text.size() + 1;
    return text;
}

const WORD* AlignToDword(const WORD* p) {
    return reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t(3));
}

bool ReadTemplate(WORD language, Template& t) {
    UniqueModule tool(::LoadLibraryExW((test::BinFolder() + L"Vandrel.exe").c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    HRSRC resource = tool ? ::FindResourceExW(tool.get(), RT_DIALOG, MAKEINTRESOURCEW(IDD_VANDREL_DIALOG), language) : nullptr;
    HGLOBAL loaded = resource ? ::LoadResource(tool.get(), resource) : nullptr;
    const auto* words = static_cast<const WORD*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!words || words[0] != 1 || words[1] != 0xFFFF) return false;
    const auto* bytes = reinterpret_cast<const BYTE*>(words);
    t.exStyle = *reinterpret_cast<const DWORD*>(bytes + 8);
    t.style = *reinterpret_cast<const DWORD*>(bytes + 12);
    const WORD count = words[8];
    t.cx = static_cast<short>(words[11]);
    t.cy = static_cast<short>(words[12]);
    const WORD* p = words + 13;
    ReadField(p);  // menu
    ReadField(p);  // class
    t.caption = ReadField(p);
    t.pointSize = p[0];
    t.weight = p[1];
    p += 3;  // size, weight, italic and charset
    t.face = ReadField(p);
    for (WORD i = 0; i < count; ++i) {
        p = AlignToDword(p);
        const auto* item = reinterpret_cast<const BYTE*>(p);
        Control c;
        c.style = *reinterpret_cast<const DWORD*>(item + 8);
        const auto* position = reinterpret_cast<const short*>(item + 12);
        c.x = position[0], c.y = position[1], c.cx = position[2], c.cy = position[3];
        const DWORD id = *reinterpret_cast<const DWORD*>(item + 20);
        p = reinterpret_cast<const WORD*>(item + 24);
        c.className = ReadField(p);
        c.caption = ReadField(p);
        p += 1 + *p / sizeof(WORD);  // creation data
        t.controls.emplace_back(id, c);
    }
    return true;
}

struct Expected {
    DWORD id;
    const wchar_t* className;
    const wchar_t* caption;
    bool visible;
    short x, y, cx, cy;
};

void ExpectControls(const Template& t, const std::vector<Expected>& expected) {
    ASSERT_EQ(expected.size(), t.controls.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const auto& [id, c] = t.controls[i];
        SCOPED_TRACE(testing::Message() << "control " << e.id);
        EXPECT_EQ(e.id, id) << "tab order";
        EXPECT_EQ(AsciiUpper(e.className), AsciiUpper(c.className)) << "class names compare without case";
        EXPECT_EQ(e.caption, c.caption);
        EXPECT_EQ(e.visible, (c.style & WS_VISIBLE) != 0);
        EXPECT_EQ(e.x, c.x);
        EXPECT_EQ(e.y, c.y);
        EXPECT_EQ(e.cx, c.cx);
        EXPECT_EQ(e.cy, c.cy);
        EXPECT_FALSE(c.style & WS_DISABLED) << "all controls start enabled";
    }
}

void ExpectFrame(const Template& t) {
    EXPECT_EQ(357, t.cx);
    EXPECT_EQ(117, t.cy);
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | WS_VISIBLE;
    EXPECT_EQ(frame, t.style & frame);
    EXPECT_FALSE(t.style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(t.exStyle & WS_EX_APPWINDOW);
}

TEST(DialogTemplate, English) {
    Template t;
    ASSERT_TRUE(ReadTemplate(MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL), t));
    ExpectFrame(t);
    EXPECT_EQ(L"Quorra2 Transmitter Update Tool", t.caption);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(FW_NORMAL, t.weight);
    EXPECT_EQ(L"??", t.face);
    ExpectControls(t, {
        {IDC_FIRMWARE_LABEL, L"Static", L"Firmware:", true, 12, 9, 37, 8},
        {IDC_FIRMWARE_PATH, L"Edit", L"", true, 54, 7, 207, 13},
        {IDC_SELECT, L"Button", L"Select", true, 272, 7, 50, 14},
        {IDC_LOADER_PATH, L"Edit", L"", false, 54, 32, 207, 13},
        {IDC_LOADER_LABEL, L"Static", L"Loader:", false, 7, 33, 44, 10},
        {IDC_OPEN, L"Button", L"Open", false, 272, 33, 50, 14},
        {IDC_START_WRITING, L"Button", L"Start Writing", true, 149, 38, 50, 28},
        {IDC_WRITE_MAC, L"Button", L"WriteMac", false, 300, 17, 50, 28},
        {IDC_FW_VERSION_CHECK, L"Button", L"FW Version Check", false, 103, 37, 48, 27},
        {IDC_MESSAGE_LIST, L"ListBox", L"", false, 7, 73, 343, 13},
        {IDC_WRITING_LABEL, L"Static", L"Writing ...", false, 7, 62, 33, 10},
        {IDC_CONNECT_HINT, L"Static", L" Please connect the transmitter.", true, 113, 89, 177, 8},
        {IDC_DRIVER_HINT, L"Static", L"Please install USB drivers", true, 116, 99, 113, 8},
        {IDC_CONFIRM_VERSION, L"Button", L"Confirming FW version", true, 274, 25, 58, 28},
    });
}

TEST(DialogTemplate, Japanese) {
    Template t;
    ASSERT_TRUE(ReadTemplate(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), t));
    ExpectFrame(t);
    EXPECT_EQ(L" Quorra2 Transmitter Update Tool", t.caption);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(300, t.weight);
    EXPECT_EQ(L"Yu Gothic UI Light", t.face);
    ExpectControls(t, {
        {IDC_FIRMWARE_LABEL, L"Static", L"ファームウエア:", true, 12, 9, 61, 8},
        {IDC_FIRMWARE_PATH, L"Edit", L"", true, 69, 7, 192, 13},
        {IDC_SELECT, L"Button", L"選択", true, 272, 7, 50, 14},
        {IDC_LOADER_PATH, L"Edit", L"", false, 54, 32, 207, 13},
        {IDC_LOADER_LABEL, L"Static", L"Loader:", false, 7, 33, 44, 10},
        {IDC_OPEN, L"Button", L"Open", false, 271, 29, 50, 14},
        {IDC_START_WRITING, L"Button", L"書込開始", true, 149, 38, 50, 28},
        {IDC_WRITE_MAC, L"Button", L"WriteMac", false, 300, 24, 50, 28},
        {IDC_FW_VERSION_CHECK, L"Button", L"FW Version Check", false, 103, 37, 48, 27},
        {IDC_MESSAGE_LIST, L"ListBox", L"", false, 7, 73, 343, 13},
        {IDC_WRITING_LABEL, L"Static", L"書込中...", false, 7, 65, 31, 8},
        {IDC_CONNECT_HINT, L"Static", L"送信機を接続してください", true, 85, 89, 183, 9},
        {IDC_DRIVER_HINT, L"Static", L"USBドライバーをインストールしてください", true, 83, 99, 155, 9},
        {IDC_CONFIRM_VERSION, L"Button", L"バージョン確認", true, 273, 25, 58, 28},
    });
}

TEST(DialogTemplate, MessageListAndPathBoxStyles) {
    Template t;
    ASSERT_TRUE(ReadTemplate(MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL), t));
    for (const auto& [id, c] : t.controls) {
        if (id == IDC_MESSAGE_LIST) {
            const DWORD wanted = LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER;
            EXPECT_EQ(wanted, c.style & wanted);
            EXPECT_FALSE(c.style & LBS_SORT) << "lines stay in the order they were added";
        }
        if (id == IDC_FIRMWARE_PATH) {
            const DWORD wanted = ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
            EXPECT_EQ(wanted, c.style & wanted);
        }
        if (id == IDC_START_WRITING || id == IDC_CONFIRM_VERSION) {
            EXPECT_TRUE(c.style & BS_MULTILINE) << id;
        }
    }
}

}  // namespace
}  // namespace vandrel
