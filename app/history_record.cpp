#include "app/history_record.h"

#include <windows.h>

#include "common/text.h"
#include "resources/resource.h"
#include "upgrade/target_device.h"

namespace vandrel {

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

// Whether a spreadsheet program would take a field that begins with c for a formula (or strip the
// character). The full-width signs are those a Japanese input method gives, which some spreadsheet
// programs read as their ASCII forms.
bool StartsAFormula(wchar_t c) {
    switch (c) {
    case L'=': case L'+': case L'-': case L'@': case L'\t': case L'\r':
    case L'\xFF1D': case L'\xFF0B': case L'\xFF0D': case L'\xFF20':  // ＝ ＋ － ＠
        return true;
    default:
        return false;
    }
}

// A field as RFC 4180 wants it: in quotes, with quotes doubled, when it holds a comma, a quote or a line
// break; as it is otherwise. Names come from the package and texts from the system, so a field that a
// spreadsheet would run as a formula gets a leading apostrophe and shows as the text it is.
std::string Field(const std::wstring& text) {
    const std::string utf8 = (!text.empty() && StartsAFormula(text[0]) ? "'" : "") + Utf8(text);
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
    std::string quoted = "\"";
    for (char c : utf8) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::wstring Number(const std::optional<uint64_t>& value) {
    return value ? Format(L"%I64u", *value) : std::wstring();
}

std::string Line(const std::vector<std::wstring>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + Field(fields[i]);
    return line + "\r\n";
}

struct KnownResult {
    UINT textId;
    const wchar_t* code;
};

// Each box that ends a write run or a version read, by its text's string id.
constexpr KnownResult kResults[] = {
    {IDS_WRITE_SUCCESSFUL, L"written"},
    {IDS_WRITE_FAILED, L"write-failed"},
    {IDS_SELECT_FIRMWARE, L"no-firmware-selected"},
    {IDS_LIBRARY_NOT_LOADED, L"library-not-loaded"},
    {IDS_LOADER_NOT_INITIALIZED, L"library-not-initialized"},
    {IDS_NOT_LOADED_OR_INITIALIZED, L"library-not-loaded"},
    {IDS_UNSUPPORTED_FORMAT, L"unsupported-format"},
    {IDS_FIRMWARE_NOT_FOUND, L"firmware-not-found"},
    {IDS_NO_DEVICE, L"no-device"},
    {IDS_CONNECT_ONE_TRANSMITTER, L"several-versions-attached"},
    {IDS_NO_IMAGE_FOR_VERSION, L"no-image-for-version"},
    {IDS_IMAGES_DIFFER, L"images-differ"},
    {IDS_EMPTY_IMAGE, L"empty-image"},
    {IDS_NO_7ZA, L"extraction-failed"},
    {IDS_7ZA_NOT_STARTED, L"extraction-failed"},
    {IDS_7ZA_EXIT_CODE, L"extraction-failed"},
    {IDS_DISK_FULL, L"disk-full"},
    {IDS_IMAGE_NOT_WHOLE, L"image-not-whole"},
    {IDS_IMAGE_CHANGED, L"image-changed"},
    {IDS_SECURE_FILE_FAILED, L"secure-file-failed"},
    {IDS_SECURE_COPY_FAILED, L"copy-failed"},
    {IDS_COPY_DISK_FULL, L"disk-full"},
    {IDS_WRITE_NOT_STARTED, L"write-not-started"},
    {IDS_NOT_SUPPORTED, L"not-supported"},
    {IDS_VERSION_PREFIX, L"version"},
};

// Whether text is what string id gives: all of it, or, for a text with a value put in (and for the
// version's prefix), what comes before the first value.
bool IsTextOf(const std::wstring& text, UINT id) {
    const std::wstring known = LoadText(id);
    if (known.empty()) return false;
    const size_t value = known.find(L'%');
    if (value == std::wstring::npos && id != IDS_VERSION_PREFIX) return text == known;
    const std::wstring fixed = known.substr(0, value);
    return !fixed.empty() && text.compare(0, fixed.size(), fixed) == 0;
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring joined;
    for (const std::wstring& line : lines) joined += (joined.empty() ? L"" : L" | ") + line;
    return joined;
}

}  // namespace

std::string HistoryHeader() {
    return Line({L"time", L"tool version", L"action", L"firmware file", L"firmware size", L"firmware SHA-256",
                 L"image", L"image size", L"image SHA-256", L"product id", L"hardware version", L"device",
                 L"result", L"result code", L"messages", L"duration ms"});
}

std::string HistoryLine(const HistoryRecord& r) {
    return Line({r.time, r.toolVersion, r.action, r.firmwarePath, Number(r.firmwareSize), r.firmwareSha256,
                 r.imageName, Number(r.imageSize), r.imageSha256,
                 r.productId ? Format(L"0x%04X", *r.productId) : L"",
                 r.productId ? Format(L"V%d", HardwareVersionOf(*r.productId)) : L"", r.deviceInstance, r.result,
                 r.resultCode, Joined(r.lines), Number(r.durationMs)});
}

std::wstring LocalTimeIso8601() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = ::GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;  // minutes to add to local time for UTC
    if (kind == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (kind == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    const LONG offset = -bias;
    return Format(L"%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", local.wYear, local.wMonth, local.wDay, local.wHour,
                  local.wMinute, local.wSecond, offset < 0 ? L'-' : L'+', (offset < 0 ? -offset : offset) / 60,
                  (offset < 0 ? -offset : offset) % 60);
}

std::wstring ResultCodeOf(const std::wstring& boxText) {
    for (const KnownResult& known : kResults)
        if (IsTextOf(boxText, known.textId)) return known.code;
    return L"refused";
}

}  // namespace vandrel
