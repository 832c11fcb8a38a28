#include "core/registry.h"

#include <memory>
#include <type_traits>

#include "core/product.h"
#include "core/utf16.h"
#include "platform/platform.h"

namespace lumiran {
namespace {

struct KeyClose {
    void operator()(platform::KeyHandle key) const { platform::CloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<platform::KeyHandle>, KeyClose>;

// The key, opened (and created when missing) for setting values, or null.
UniqueKey OpenForSetting(const wchar_t* subKey) {
    const platform::KeyOpening opened = platform::CreateUserKey(subKey, kNonVolatile, kKeySetValue);
    if (opened.status != 0) return UniqueKey();
    return UniqueKey(opened.key);
}

// Stored with the terminating NUL: (length + 1) x 2 bytes.
void SetStringValue(platform::KeyHandle key, const std::wstring& name, const std::wstring& value) {
    const std::u16string data = ToUtf16(value);
    const auto size = static_cast<std::uint32_t>((data.size() + 1) * sizeof(char16_t));
    (void)platform::SetKeyValue(key, name, kRegSz, data.c_str(), size);
}

}  // namespace

void WriteRegistryString(const std::wstring& name, const std::wstring& value) {
    const UniqueKey key = OpenForSetting(kUninstallKeyPath);
    if (!key) return;
    SetStringValue(key.get(), name, value);
}

void WriteRegistryDword(const std::wstring& name, std::uint32_t value) {
    const UniqueKey key = OpenForSetting(kUninstallKeyPath);
    if (!key) return;
    (void)platform::SetKeyValue(key.get(), name, kRegDword, &value, sizeof value);
}

void WriteUninstallEntry(const InstallLayout& layout) {
    WriteRegistryString(L"DisplayName", kProductName);
    WriteRegistryString(L"DisplayVersion", kProductVersion);
    WriteRegistryString(L"Publisher", kProductName);
    WriteRegistryString(L"InstallLocation", layout.installDir);
    WriteRegistryString(L"DisplayIcon", layout.exePath + L",0");
    WriteRegistryString(L"UninstallString", L"\"" + layout.uninstallerPath + L"\" /uninstall");
    WriteRegistryDword(L"EstimatedSize", kEstimatedSizeKb);
    WriteRegistryDword(L"NoModify", 1);
    WriteRegistryDword(L"NoRepair", 1);
}

void SetAutostart(const std::wstring& exePath, bool enable) {
    const UniqueKey key = OpenForSetting(kRunKeyPath);
    if (!key) return;
    if (enable) {
        SetStringValue(key.get(), kProductName, L"\"" + exePath + L"\"");
    } else {
        // Deleted by name, whatever path it holds; a missing value is no error.
        (void)platform::DeleteKeyValue(key.get(), kProductName);
    }
}

}  // namespace lumiran
