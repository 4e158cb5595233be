// hidden-process-probe HANDLE [token]: a child for the hidden-start tests. Writes a byte to HANDLE (a
// handle value of its parent's, in decimal): it arrives only when that handle was inherited. Then writes
// to its standard output ("progress", or with "token" the facts of its own token, see token_facts.h) and
// exits with 0 when that worked and the output is no console, 1 otherwise.
// hidden-process-probe --wait: a helper that keeps running (a minute at most) until it is ended.
#include <windows.h>

#include <cwchar>
#include <string>

#include "tests/common/token_facts.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && argc != 3) return 2;
    if (std::wcscmp(argv[1], L"--wait") == 0) {
        ::Sleep(60000);
        return 0;
    }
    DWORD written = 0;
    const auto parentHandle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::wcstoull(argv[1], nullptr, 10)));
    ::WriteFile(parentHandle, "x", 1, &written, nullptr);

    std::string report = "progress";
    if (argc == 3 && std::wcscmp(argv[2], L"token") == 0) {
        HANDLE token = nullptr;
        report = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) ? vandrel::test::TokenFacts(token)
                                                                                 : "unreadable";
        if (token) ::CloseHandle(token);
    }
    report += "\r\n";
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(output, &mode) != FALSE;
    const bool wrote = ::WriteFile(output, report.data(), static_cast<DWORD>(report.size()), &written, nullptr) &&
                       written == report.size();
    return !console && wrote ? 0 : 1;
}
