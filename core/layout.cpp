#include "core/layout.h"

#include "core/product.h"

namespace lumiran {
namespace {

// Owns a shell-allocated string. It is freed unconditionally, null included:
// the shell's contract is to free whatever the lookup handed back.
class ShellString {
public:
    explicit ShellString(wchar_t* text) : text_(text) {}
    ShellString(const ShellString&) = delete;
    ShellString& operator=(const ShellString&) = delete;
    ~ShellString() { platform::FreeTaskMemory(text_); }
    const wchar_t* get() const { return text_; }

private:
    wchar_t* text_;
};

}  // namespace

std::wstring GetKnownFolder(FolderId folder) {
    const platform::KnownFolderLookup lookup = platform::GetKnownFolderPath(folder, kKnownFolderCreate);
    const ShellString path(lookup.path);
    if (lookup.result < 0 || path.get() == nullptr) return std::wstring();
    return std::wstring(path.get());
}

InstallLayout BuildInstallLayout() {
    InstallLayout layout;
    layout.installDir = GetKnownFolder(FolderId::LocalAppData) + kInstallFolderSuffix;
    layout.exePath = layout.installDir + kExeSuffix;
    layout.uninstallerPath = layout.installDir + kUninstallerSuffix;
    return layout;
}

std::wstring ShortcutPath(FolderId folder) { return GetKnownFolder(folder) + kShortcutSuffix; }

}  // namespace lumiran
