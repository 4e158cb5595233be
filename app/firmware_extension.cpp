#include "app/firmware_extension.h"

#include "common/text.h"

namespace vandrel {

std::wstring FirmwareExtension(const std::wstring& path) {
    const size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : AsciiLower(path.substr(dot + 1));
}

}  // namespace vandrel
