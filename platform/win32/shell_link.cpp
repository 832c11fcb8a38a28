// The shell's ShellLink object, one interface call per function.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/win32/handles.h"

namespace platform {

ShellLinkCreation CreateShellLink() {
    IShellLinkW* link = nullptr;
    const HRESULT result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IShellLinkW, reinterpret_cast<void**>(&link));
    return {result, reinterpret_cast<ShellLink>(link)};
}

HResult ShellLinkSetPath(ShellLink link, const std::wstring& path) {
    return ToNative(link)->SetPath(path.c_str());
}

HResult ShellLinkSetWorkingDirectory(ShellLink link, const std::wstring& directory) {
    return ToNative(link)->SetWorkingDirectory(directory.c_str());
}

HResult ShellLinkSetDescription(ShellLink link, const std::wstring& description) {
    return ToNative(link)->SetDescription(description.c_str());
}

HResult ShellLinkSetIconLocation(ShellLink link, const std::wstring& path, int index) {
    return ToNative(link)->SetIconLocation(path.c_str(), index);
}

PersistFileQuery ShellLinkQueryPersistFile(ShellLink link) {
    IPersistFile* file = nullptr;
    const HRESULT result = ToNative(link)->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    return {result, reinterpret_cast<PersistFile>(file)};
}

HResult PersistFileSave(PersistFile file, const std::wstring& path, bool remember) {
    return ToNative(file)->Save(path.c_str(), remember ? TRUE : FALSE);
}

void ReleaseShellLink(ShellLink link) { ToNative(link)->Release(); }

void ReleasePersistFile(PersistFile file) { ToNative(file)->Release(); }

}  // namespace platform
