// Owners for Win32 handles and allocations: each is closed by the owner that received it.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <type_traits>
#include <utility>

namespace vandrel {

// Traits that know more than one "none" value say so with IsValid; the others have Empty() only.
template <class Traits, class = void>
struct HasValidityTest : std::false_type {};
template <class Traits>
struct HasValidityTest<Traits, std::void_t<decltype(Traits::IsValid(Traits::Empty()))>> : std::true_type {};

template <class Traits>
class Unique {
public:
    using T = typename Traits::Type;

    explicit Unique(T h = Traits::Empty()) noexcept : h_(h) {}
    Unique(Unique&& other) noexcept : h_(std::exchange(other.h_, Traits::Empty())) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(std::exchange(other.h_, Traits::Empty()));
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    ~Unique() { reset(); }

    T get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Holds(h_); }

    // Closes the held value and takes h instead.
    void reset(T h = Traits::Empty()) noexcept {
        if (Holds(h_)) Traits::Close(h_);
        h_ = h;
    }
    // Gives up ownership without closing.
    T release() noexcept { return std::exchange(h_, Traits::Empty()); }
    // For out-parameters: closes the held value and exposes the slot.
    T* put() noexcept {
        reset();
        return &h_;
    }

private:
    static bool Holds(T h) noexcept {
        if constexpr (HasValidityTest<Traits>::value) return Traits::IsValid(h);
        else return h != Traits::Empty();
    }

    T h_;
};

// Files, folders, pipes: CreateFileW fails with INVALID_HANDLE_VALUE, most other calls with null; neither
// is closed.
struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
// Handles whose "none" value is null: processes, threads, mutexes, events, tokens.
struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE Empty() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE Empty() noexcept { return nullptr; }
    static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static HKEY Empty() noexcept { return nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static SC_HANDLE Empty() noexcept { return nullptr; }
    static void Close(SC_HANDLE h) noexcept { ::CloseServiceHandle(h); }
};
// An opened INF file (setupapi's HINF; failure is INVALID_HANDLE_VALUE).
struct InfTraits {
    using Type = HINF;
    static HINF Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HINF h) noexcept { ::SetupCloseInfFile(h); }
};
struct DevInfoTraits {
    using Type = HDEVINFO;
    static HDEVINFO Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HDEVINFO h) noexcept { ::SetupDiDestroyDeviceInfoList(h); }
};
// LocalAlloc'd memory: SIDs, ACLs, FormatMessage buffers.
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static HLOCAL Empty() noexcept { return nullptr; }
    static void Close(HLOCAL h) noexcept { ::LocalFree(h); }
};
struct DeviceNotifyTraits {
    using Type = HDEVNOTIFY;
    static HDEVNOTIFY Empty() noexcept { return nullptr; }
    static void Close(HDEVNOTIFY h) noexcept { ::UnregisterDeviceNotification(h); }
};
struct HeapMemoryTraits {
    using Type = void*;
    static void* Empty() noexcept { return nullptr; }
    static void Close(void* p) noexcept { ::HeapFree(::GetProcessHeap(), 0, p); }
};
// Views of file mappings.
struct ViewTraits {
    using Type = void*;
    static void* Empty() noexcept { return nullptr; }
    static void Close(void* view) noexcept { ::UnmapViewOfFile(view); }
};

using UniqueFile = Unique<FileHandleTraits>;
using UniqueHandle = Unique<KernelHandleTraits>;
using UniqueFind = Unique<FindHandleTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueRegKey = Unique<RegKeyTraits>;
using UniqueService = Unique<ServiceHandleTraits>;
using UniqueDevInfo = Unique<DevInfoTraits>;
using UniqueInf = Unique<InfTraits>;
using UniqueLocal = Unique<LocalMemoryTraits>;
using UniqueDeviceNotify = Unique<DeviceNotifyTraits>;
using UniqueHeap = Unique<HeapMemoryTraits>;
using UniqueView = Unique<ViewTraits>;

// The two handles CreateProcessW hands back, owned from the moment the call returns.
struct ProcessHandles {
    ProcessHandles() = default;
    explicit ProcessHandles(const PROCESS_INFORMATION& info)
        : process(info.hProcess), thread(info.hThread), id(info.dwProcessId) {}
    UniqueHandle process;
    UniqueHandle thread;
    DWORD id = 0;
};

}  // namespace vandrel
