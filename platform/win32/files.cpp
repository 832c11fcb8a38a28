// Resources of the running image and plain file operations.
#include <windows.h>
#include <shellapi.h>

#include "platform/win32/handles.h"

namespace platform {

ResourceBytes LoadDataResource(ModuleHandle module, int id) {
    const HINSTANCE instance = ToNative(module);
    const HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (found == nullptr) return {nullptr, 0};
    const HGLOBAL loaded = ::LoadResource(instance, found);
    if (loaded == nullptr) return {nullptr, 0};
    // Resource memory belongs to the loaded image: nothing to unlock or free.
    const void* data = ::LockResource(loaded);
    const DWORD size = ::SizeofResource(instance, found);
    return {data, size};
}

std::uint32_t GetOwnModulePath(wchar_t* buffer, std::uint32_t capacity) {
    return ::GetModuleFileNameW(nullptr, buffer, capacity);
}

bool CopyFileTo(const wchar_t* source, const std::wstring& target, bool failIfExists) {
    return ::CopyFileW(source, target.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool ClearFileAttributes(const std::wstring& path) {
    return ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool RemoveFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool PathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::intptr_t ShellExecuteFile(const wchar_t* verb, const std::wstring& file,
                               const wchar_t* parameters, const std::wstring& directory,
                               int showCommand) {
    const HINSTANCE result =
        ::ShellExecuteW(nullptr, verb, file.c_str(), parameters, directory.c_str(), showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace platform
