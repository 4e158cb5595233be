#include "common/text.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdarg>
#include <cwchar>

#include "common/unique_handle.h"

namespace vandrel {

std::wstring Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = _vscwprintf(format, measure);
    va_end(measure);
    std::wstring text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        _vsnwprintf(&text[0], text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    // A zero length gives a pointer to the text in the resource itself, which needs no buffer.
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    UniqueLocal owner(buffer);
    if (length == 0 || !buffer) return {};
    return std::wstring(buffer, length);
}

std::wstring AsciiLower(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::wstring AsciiUpper(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

std::wstring NewNameDigits() {
    GUID guid{};
    if (FAILED(::CoCreateGuid(&guid))) return {};
    wchar_t registryForm[64] = {};
    if (::StringFromGUID2(guid, registryForm, 64) < 1) return {};
    std::wstring digits(registryForm);
    digits.erase(std::remove_if(digits.begin(), digits.end(),
                                [](wchar_t c) { return c == L'{' || c == L'}' || c == L'-'; }),
                 digits.end());
    return digits;
}

}  // namespace vandrel
