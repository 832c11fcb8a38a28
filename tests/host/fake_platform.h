// A recording stand-in for platform/: every call is logged in order with its
// arguments, and every result comes from a script the test sets up.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

struct Call {
    std::string op;
    std::vector<std::wstring> args;
    std::vector<std::uint8_t> data;  // value bytes of SetKeyValue
};

// What the dialog was shown with, copied while the call ran.
struct CapturedDialog {
    platform::TaskDialogConfig config{};  // pointers dangle after the call
    std::wstring windowTitle, mainInstruction, content, verificationText;
    std::vector<int> buttonIds;
    std::vector<std::wstring> buttonTexts;
    int initialButton = -1;
    bool initialVerification = true;
};

struct Script {
    std::map<platform::FolderId, std::wstring> folders = {
        {platform::FolderId::LocalAppData, L"C:\\Users\\u1\\AppData\\Local"},
        {platform::FolderId::Desktop, L"C:\\Users\\u1\\Desktop"},
        {platform::FolderId::Programs,
         L"C:\\Users\\u1\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"}};
    std::set<platform::FolderId> failingFolders;
    bool failureStillAllocates = false;  // the shell hands out memory on failure

    bool windowPresent = false;
    int windowGoneAfterChecks = -1;  // -1: the window never goes
    bool postFails = false;
    bool processOpens = true;         // false: access denied, or already gone
    int processEndsAfterChecks = 1;   // ProcessEnded is true from this check on

    bool dllDirectoriesMissing = false;  // a Windows without SetDefaultDllDirectories

    // A plain run of the session's own user; a fact cleared of `read` fails.
    platform::ProcessUser processUser = {true, L"S-1-5-21-1-2-3-1001"};
    platform::Elevation elevation = {true, false};
    platform::AccountName account = {true, L"u1", L"PC"};
    platform::AccountName sessionUser = {true, L"u1", L"PC"};
    platform::SessionId sessionId = {true, 1};

    std::uint32_t mutexCreateError = 0;  // not 0: CreateMutexW fails with it
    std::uint32_t mutexWait = 0;  // WAIT_OBJECT_0

    std::vector<std::uint8_t> payload = {'M', 'Z', 0x90, 0x00};
    bool payloadMissing = false;

    std::wstring modulePath = L"C:\\Users\\u1\\Downloads\\Lumiran-Setup-2.1.0-x64.exe";
    bool modulePathFails = false;
    bool copyFails = false;

    std::set<std::wstring> undeletableFiles;  // RemoveFile fails, PathExists stays true

    std::set<int> failingKeyOpens;  // 1-based numbers of CreateUserKey calls that fail

    platform::HResult createLinkResult = 0;
    bool createLinkNull = false;
    platform::HResult queryResult = 0;
    bool queryNull = false;
    platform::HResult saveResult = 0;

    platform::TaskDialogAnswer dialogAnswer = {0, 1001, false};
    int messageBoxAnswer = 6;  // IDYES
};

struct State {
    Script script;
    std::vector<Call> calls;
    CapturedDialog dialog;
    int keyOpens = 0;
    int windowChecks = 0;
    int processChecks = 0;
    int processesAlive = 0;
    int mutexesAlive = 0;
    int mutexesOwned = 0;
    int linksAlive = 0, filesAlive = 0;
    int linkReleases = 0, fileReleases = 0;
    int shellStringsAlive = 0;
};

State& Fake();
void Reset();

// Operation names of the recorded calls, in order.
std::vector<std::string> Ops();
// The recorded calls of one operation.
std::vector<Call> CallsOf(const std::string& op);

}  // namespace fake
