// HKEY_CURRENT_USER, one call at a time.
#include <windows.h>

#include "platform/win32/handles.h"

namespace platform {

KeyOpening CreateUserKey(const std::wstring& subKey, std::uint32_t options, std::uint32_t access) {
    HKEY key = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, options,
                                             access, nullptr, &key, nullptr);
    return {status, reinterpret_cast<KeyHandle>(key)};
}

Status SetKeyValue(KeyHandle key, const std::wstring& name, std::uint32_t type, const void* data,
                   std::uint32_t size) {
    return ::RegSetValueExW(ToNative(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

Status DeleteKeyValue(KeyHandle key, const std::wstring& name) {
    return ::RegDeleteValueW(ToNative(key), name.c_str());
}

void CloseKey(KeyHandle key) { ::RegCloseKey(ToNative(key)); }

Status DeleteUserKeyTree(const std::wstring& subKey) {
    return ::RegDeleteTreeW(HKEY_CURRENT_USER, subKey.c_str());
}

}  // namespace platform
