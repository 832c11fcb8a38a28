// The delay-load helper: binds an import of a delay-loaded DLL at its first
// call. Every image linked through lumiran_link_delay_imports gets this one
// in place of the C runtime's (libmingwex's delayimp.o, which defines
// __delayLoadHelper2 as well: should anything ever pull that member in, the
// link stops with a duplicate definition instead of picking one).
//
// Ours, for two reasons:
// - The address table may lie in a read-only section: .idata as binutils
//   2.44 and later link it. Each write gets its page writable for that write
//   only (Store). The runtime's helper of Debian 12 and 13 (mingw-w64 10 and
//   12) writes without that and faults.
// - Each DLL comes from System32 by this helper's own choice, also on a
//   Windows 7 that lacks SetDefaultDllDirectories.
//
// There are no notification or failure hooks: the program sets none.
// The stubs of Debian 12's dlltool (binutils 2.40) keep rcx, rdx, r8 and r9
// across this call, and no xmm register, which the calls made here may
// change: a delay-loaded function would get garbage for a floating-point
// argument on its first call. tests/image/pe_test.py holds the image to a
// list of functions that take none.
#include <windows.h>
#include <delayimp.h>

#include <cstring>
#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this image, which holds the descriptors
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry);

namespace {

template <typename T>
T* FromRva(RVA rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(&__ImageBase) + rva);
}

// The LOAD_LIBRARY_SEARCH_ flags came with AddDllDirectory: Windows 8, and
// Windows 7 with KB2533623. Without it LoadLibraryExW refuses them.
bool SearchFlagsSupported() {
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    return kernel32 != nullptr && ::GetProcAddress(kernel32, "AddDllDirectory") != nullptr;
}

// Never from beside the installer. The full path, where the flags are
// missing, is still redirected to the side-by-side comctl32 6 that the
// manifest asks for; the altered search order looks for the DLL's own imports
// in System32 before the installer's folder.
HMODULE LoadFromSystem32(const char* dll) {
    const std::wstring name(dll, dll + std::strlen(dll));  // DLL names are ASCII
    if (SearchFlagsSupported()) return ::LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    wchar_t folder[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L'\\' + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Two threads that change the protection of one page at once would each
// save and restore the other's: one write faults, or the page stays writable.
SRWLOCK storeLock = SRWLOCK_INIT;
struct StoreGuard {
    StoreGuard() { ::AcquireSRWLockExclusive(&storeLock); }
    ~StoreGuard() { ::ReleaseSRWLockExclusive(&storeLock); }
};

// Where the page cannot be made writable, nothing is written and the next
// call through the slot comes back here and binds again.
template <typename T>
void Store(T* slot, T value) {
    const StoreGuard guard;
    DWORD protection = 0;
    if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return;
    *slot = value;
    (void)::VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// What the runtime's helper does too: the delay-load exception, with the
// DelayLoadInfo as its one argument. The program has no handler for it, so
// the process ends there, before the call, with the exception's code as its
// exit code (0xC06D007E for a DLL, 0xC06D007F for a function) and Windows'
// crash report. A debugger that continues it gets info.pfnCur, null unless
// it set one, back as the function: the call then faults.
FARPROC Fail(DWORD error, DelayLoadInfo& info) {
    info.dwLastError = ::GetLastError();
    const ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(&info);
    ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, error), 0, 1, &argument);
    return info.pfnCur;
}

}  // namespace

// Threads may race here: each write to the tables is made under the lock
// (Store), and two threads that bind the same entry both load the DLL, which
// only counts one more reference, and write the same address.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* entry) {
    DelayLoadInfo info = {};
    info.cb = sizeof info;
    info.pidd = descriptor;
    info.ppfn = entry;
    if ((descriptor->grAttrs & dlattrRva) == 0) return Fail(ERROR_INVALID_PARAMETER, info);  // addresses, not RVAs
    info.szDll = FromRva<const char>(descriptor->rvaDLLName);

    const IMAGE_THUNK_DATA& import = FromRva<const IMAGE_THUNK_DATA>(descriptor->rvaINT)
                                         [entry - FromRva<FARPROC>(descriptor->rvaIAT)];
    info.dlp.fImportByName = !IMAGE_SNAP_BY_ORDINAL(import.u1.Ordinal);
    if (info.dlp.fImportByName) {
        info.dlp.szProcName = FromRva<const IMAGE_IMPORT_BY_NAME>(static_cast<RVA>(import.u1.AddressOfData))->Name;
    } else {
        info.dlp.dwOrdinal = static_cast<DWORD>(IMAGE_ORDINAL(import.u1.Ordinal));  // TaskDialogIndirect: 345
    }

    HMODULE* const module = FromRva<HMODULE>(descriptor->rvaHmod);
    info.hmodCur = *module;
    if (info.hmodCur == nullptr) {
        info.hmodCur = LoadFromSystem32(info.szDll);
        if (info.hmodCur == nullptr) return Fail(ERROR_MOD_NOT_FOUND, info);
        Store(module, info.hmodCur);
    }
    const char* const function = info.dlp.fImportByName
                                     ? info.dlp.szProcName
                                     : reinterpret_cast<const char*>(static_cast<ULONG_PTR>(info.dlp.dwOrdinal));
    info.pfnCur = ::GetProcAddress(info.hmodCur, function);
    if (info.pfnCur == nullptr) return Fail(ERROR_PROC_NOT_FOUND, info);
    Store(entry, info.pfnCur);
    return info.pfnCur;
}
