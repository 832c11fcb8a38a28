#include "core/shortcut.h"

#include <filesystem>
#include <memory>
#include <type_traits>

#include "platform/platform.h"

namespace lumiran {
namespace {

struct ShellLinkRelease {
    void operator()(platform::ShellLink link) const { platform::ReleaseShellLink(link); }
};
struct PersistFileRelease {
    void operator()(platform::PersistFile file) const { platform::ReleasePersistFile(file); }
};
using ShellLinkPtr = std::unique_ptr<std::remove_pointer_t<platform::ShellLink>, ShellLinkRelease>;
using PersistFilePtr =
    std::unique_ptr<std::remove_pointer_t<platform::PersistFile>, PersistFileRelease>;

}  // namespace

std::wstring WorkingDirectoryFor(const std::wstring& targetPath) {
    return std::filesystem::path(targetPath).parent_path().wstring();
}

bool CreateShortcut(const std::wstring& shortcutPath, const std::wstring& targetPath,
                    const std::wstring& description) {
    const platform::ShellLinkCreation created = platform::CreateShellLink();
    // A success code with a null pointer still leaves nothing to release.
    const ShellLinkPtr link(created.result >= 0 ? created.link : nullptr);
    if (!link) return false;

    // Property results are not looked at: the shortcut is saved with what
    // the object holds.
    (void)platform::ShellLinkSetPath(link.get(), targetPath);
    (void)platform::ShellLinkSetWorkingDirectory(link.get(), WorkingDirectoryFor(targetPath));
    (void)platform::ShellLinkSetDescription(link.get(), description);
    (void)platform::ShellLinkSetIconLocation(link.get(), targetPath, 0);

    const platform::PersistFileQuery queried = platform::ShellLinkQueryPersistFile(link.get());
    const PersistFilePtr file(queried.result >= 0 ? queried.file : nullptr);
    if (!file) return false;
    return platform::PersistFileSave(file.get(), shortcutPath, true) >= 0;
}

}  // namespace lumiran
