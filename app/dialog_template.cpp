#include "app/dialog_template.h"

namespace vandrel {

namespace {

// Steps over a "string or ordinal" field of a dialog template.
const WORD* SkipStringOrOrdinal(const WORD* field) {
    if (*field == 0x0000) return field + 1;
    if (*field == 0xFFFF) return field + 2;
    while (*field) ++field;
    return field + 1;
}

}  // namespace

std::wstring DialogTemplateCaption(UINT id) {
    HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_DIALOG);
    HGLOBAL loaded = resource ? ::LoadResource(nullptr, resource) : nullptr;
    const auto* words = static_cast<const WORD*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!words) return {};
    const bool extended = words[0] == 1 && words[1] == 0xFFFF;
    // DLGTEMPLATEEX: version, signature, help id, ex-style, style, count, x, y, cx, cy (13 words).
    // DLGTEMPLATE: style, ex-style, count, x, y, cx, cy (9 words).
    const WORD* field = words + (extended ? 13 : 9);
    field = SkipStringOrOrdinal(field);  // menu
    field = SkipStringOrOrdinal(field);  // window class
    return reinterpret_cast<const wchar_t*>(field);
}

}  // namespace vandrel
