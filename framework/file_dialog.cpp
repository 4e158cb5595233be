#include "framework/file_dialog.h"

#include <shobjidl.h>

#include <vector>

namespace {

// Releases a COM interface pointer.
template <class T>
class ComPtr {
public:
    ~ComPtr() {
        if (p_) p_->Release();
    }
    T* operator->() const { return p_; }
    T** put() { return &p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

class ComScope {
public:
    ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }

private:
    HRESULT hr_;
};

// "A|*.a|B|*.b||" -> pairs of name and pattern.
std::vector<std::wstring> SplitFilter(const std::wstring& filter) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start < filter.size()) {
        const size_t bar = filter.find(L'|', start);
        const size_t end = bar == std::wstring::npos ? filter.size() : bar;
        if (end == start) break;
        parts.push_back(filter.substr(start, end - start));
        start = end + 1;
    }
    if (parts.size() % 2) parts.pop_back();
    return parts;
}

}  // namespace

CFileDialog::CFileDialog(BOOL openFileDialog, const wchar_t* defaultExtension, const wchar_t* fileName, DWORD flags,
                         const wchar_t* filter, CWnd* parent, DWORD, BOOL)
    : defaultExtension_(defaultExtension ? defaultExtension : L""), fileName_(fileName ? fileName : L""),
      filter_(filter ? filter : L""), parent_(parent) {
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = flags;
}

INT_PTR CFileDialog::DoModal() {
    ComScope com;
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  reinterpret_cast<void**>(dialog.put()))))
        return IDCANCEL;

    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM;
    if (m_ofn.Flags & OFN_FILEMUSTEXIST) options |= FOS_FILEMUSTEXIST;
    if (m_ofn.Flags & OFN_PATHMUSTEXIST) options |= FOS_PATHMUSTEXIST;
    dialog->SetOptions(options);

    const std::vector<std::wstring> parts = SplitFilter(filter_);
    std::vector<COMDLG_FILTERSPEC> specs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) specs.push_back({parts[i].c_str(), parts[i + 1].c_str()});
    if (!specs.empty()) dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
    if (!defaultExtension_.empty()) dialog->SetDefaultExtension(defaultExtension_.c_str());
    if (!fileName_.empty()) dialog->SetFileName(fileName_.c_str());
    if (m_ofn.lpstrTitle) dialog->SetTitle(m_ofn.lpstrTitle);

    if (FAILED(dialog->Show(parent_ ? parent_->m_hWnd : nullptr))) return IDCANCEL;
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.put()))) return IDCANCEL;
    PWSTR path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return IDCANCEL;
    path_ = path;
    ::CoTaskMemFree(path);
    return IDOK;
}
