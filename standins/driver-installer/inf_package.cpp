#include "standins/driver-installer/inf_package.h"

#include <setupapi.h>

#include "common/text.h"
#include "common/unique_handle.h"

namespace vandrel::standin {

namespace {

std::wstring Field(INFCONTEXT& line, DWORD index) {
    wchar_t text[MAX_PATH] = {};
    if (!::SetupGetStringFieldW(&line, index, text, MAX_PATH, nullptr)) return {};
    return text;
}

bool HasSection(HINF inf, const std::wstring& section) { return ::SetupGetLineCountW(inf, section.c_str()) >= 0; }

// [Manufacturer]'s first line: "name = models[, decoration...]"; the NTamd64 decoration wins.
std::wstring ModelsSection(HINF inf) {
    INFCONTEXT line{};
    if (!::SetupFindFirstLineW(inf, L"Manufacturer", nullptr, &line)) return {};
    const std::wstring models = Field(line, 1);
    for (DWORD index = 2; index <= ::SetupGetFieldCount(&line); ++index) {
        const std::wstring decoration = Field(line, index);
        if (AsciiLower(decoration).rfind(L"ntamd64", 0) == 0) return models + L"." + decoration;
    }
    return models;
}

// The install section as Windows picks it for x64: .NTamd64, then .NT, then undecorated.
std::wstring InstallSection(HINF inf, const std::wstring& models) {
    INFCONTEXT line{};
    if (models.empty() || !::SetupFindFirstLineW(inf, models.c_str(), nullptr, &line)) return {};
    const std::wstring install = Field(line, 1);
    for (const wchar_t* suffix : {L".NTamd64", L".NT", L""})
        if (!install.empty() && HasSection(inf, install + suffix)) return install + suffix;
    return {};
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

DWORD IntValue(HINF inf, const std::wstring& section, const wchar_t* key, DWORD fallback) {
    INFCONTEXT line{};
    INT value = 0;
    if (!::SetupFindFirstLineW(inf, section.c_str(), key, &line) || !::SetupGetIntField(&line, 1, &value))
        return fallback;
    return static_cast<DWORD>(value);
}

bool ReadService(HINF inf, const std::wstring& install, DriverPackage& package) {
    INFCONTEXT line{};
    const std::wstring services = install + L".Services";
    if (!::SetupFindFirstLineW(inf, services.c_str(), L"AddService", &line)) return false;
    package.service = Field(line, 1);
    const std::wstring section = Field(line, 3);
    if (package.service.empty() || section.empty()) return false;
    package.serviceType = IntValue(inf, section, L"ServiceType", SERVICE_KERNEL_DRIVER);
    package.startType = IntValue(inf, section, L"StartType", SERVICE_DEMAND_START);
    package.errorControl = IntValue(inf, section, L"ErrorControl", SERVICE_ERROR_NORMAL);
    if (!::SetupFindFirstLineW(inf, section.c_str(), L"ServiceBinary", &line)) return false;
    package.binary = FileNameOf(Field(line, 1));
    return !package.binary.empty();
}

}  // namespace

DWORD ReadDriverPackage(const std::wstring& infPath, DriverPackage& package) {
    wchar_t full[MAX_PATH] = {};
    wchar_t* name = nullptr;
    if (!::GetFullPathNameW(infPath.c_str(), MAX_PATH, full, &name) || !name) return ERROR_INVALID_PARAMETER;
    if (::GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) return ERROR_FILE_NOT_FOUND;
    package.folder.assign(full, name);

    UINT errorLine = 0;
    UniqueInf inf(::SetupOpenInfFileW(full, nullptr, INF_STYLE_WIN4, &errorLine));
    if (!inf) return ERROR_INVALID_DATA;
    INFCONTEXT line{};
    if (::SetupFindFirstLineW(inf.get(), L"Version", L"CatalogFile", &line)) package.catalog = Field(line, 1);
    const std::wstring install = InstallSection(inf.get(), ModelsSection(inf.get()));
    if (install.empty() || !ReadService(inf.get(), install, package)) return ERROR_INVALID_DATA;
    return ERROR_SUCCESS;
}

}  // namespace vandrel::standin
