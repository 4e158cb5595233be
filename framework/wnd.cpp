#include "framework/wnd.h"

#include "framework/win_app.h"

std::wstring CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

int CWnd::MessageBox(const wchar_t* text, const wchar_t* caption, UINT type) const {
    if (!caption) caption = AfxGetAppName();
    return ::MessageBoxW(m_hWnd, text, caption, type);
}
