#include "core/layout.h"

#include <memory>

#include "core/product.h"

namespace lumiran {
namespace {

struct TaskMemoryFree {
    void operator()(wchar_t* memory) const { platform::FreeTaskMemory(memory); }
};
using ShellString = std::unique_ptr<wchar_t, TaskMemoryFree>;

}  // namespace

std::wstring GetKnownFolder(FolderId folder) {
    const platform::KnownFolderLookup lookup = platform::GetKnownFolderPath(folder, kKnownFolderCreate);
    // The shell may hand out memory even on failure; it goes back either way.
    const ShellString path(lookup.path);
    if (lookup.result < 0 || !path) return std::wstring();
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
