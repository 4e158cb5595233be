// hidden-process-probe HANDLE: a child for the hidden-start test. Writes a byte to HANDLE (a handle value
// of its parent's, in decimal): it arrives only when that handle was inherited. Then writes to its
// standard output and exits with 0 when that worked and the output is no console, 1 otherwise.
// hidden-process-probe --wait: a helper that keeps running (a minute at most) until it is ended.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    if (std::wcscmp(argv[1], L"--wait") == 0) {
        ::Sleep(60000);
        return 0;
    }
    DWORD written = 0;
    const auto parentHandle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::wcstoull(argv[1], nullptr, 10)));
    ::WriteFile(parentHandle, "x", 1, &written, nullptr);

    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(output, &mode) != FALSE;
    const bool wrote = ::WriteFile(output, "progress\r\n", 10, &written, nullptr) && written == 10;
    return !console && wrote ? 0 : 1;
}
