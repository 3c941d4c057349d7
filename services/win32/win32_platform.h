#pragma once
// The platform services over the real Win32 API (windows build only). Every
// call uses the W function and converts texts with code page 932 both ways,
// so the results are those of the A functions on a Japanese system whatever
// the ANSI code page of the machine. Failures carry GetLastError() values
// (or the status a function returns).
//
// Threads: the services keep nothing between calls but the message
// service's files, behind its own lock; the functions they call may be
// called from any thread, and the last error is read on the thread that
// failed; so they may be called from several threads at once. A handle
// (log, key, module) is used by one thread.

#include <memory>
#include <string>
#include <vector>

#include "core/secret.h"
#include "services/message_files.h"
#include "services/services.h"

namespace quorvin::win32 {

// OpenEventLogW / ReadEventLogW / CloseEventLog; records are handed on in
// the ReadEventLogA layout. An empty server is this machine.
class EventLogService final : public platform::EventLogService {
public:
    platform::Error Open(const std::string& server, const std::string& source,
                         std::unique_ptr<platform::EventLog>& log) override;
};

// The channels of Windows Vista and later, through wevtapi.dll loaded at
// run time; until then every session answers 120, as on a system without it.
class ChannelService final : public platform::ChannelService {
public:
    platform::Error OpenSession(const std::string& server, const platform::ChannelAccount* account,
                                std::unique_ptr<platform::ChannelSession>& session) override;
};

// RegConnectRegistryW / RegOpenKeyExW / RegCreateKeyExW / RegQueryValueExW /
// RegSetValueExW / RegCloseKey. The empty machine is this machine's
// HKEY_LOCAL_MACHINE itself: a predefined key, never closed.
class RegistryService final : public platform::RegistryService {
public:
    platform::Error ConnectLocalMachine(const std::string& machine,
                                        std::unique_ptr<platform::RegistryKey>& key) override;
};

// WNetAddConnection2W / WNetCancelConnection2W.
class ConnectionService final : public platform::ConnectionService {
public:
    platform::Error AddConnection(const std::string& remoteName, const std::string& user,
                                  std::string_view password) override;
    platform::Error CancelConnection(const std::string& remoteName) override;
};

// A password in CP932 as UTF-16, converted as Wide() converts, straight
// into a buffer that is wiped when it goes: the one copy the connections
// and the channel sessions make of it. Empty stays empty.
platform::Error WidePassword(std::string_view cp932, text::WideSecret& wide);

// Whether this is a 32-bit process on 64-bit Windows (WOW64).
bool RunsUnderWow64();

// Start-up of each program: no system-modal box for a drive without its
// disk or a file not found (SetErrorMode), so the calls of the services
// fail with their error instead of waiting for someone to answer. The
// modes the process inherited are kept. For the whole process.
void FailCriticalErrorsQuietly();

// CreateFileW / ReadFile / GetFileInformationByHandle: message files are
// opened where they lie and read in ranges by the message service, never
// mapped (a file mapped over the network raises an in-page error at the
// next lookup when its computer goes away) and never copied. Under WOW64 a
// file of the system folder is opened from the real one (path_rules.h),
// and from the 32-bit one when it is not there.
class MessageFileAccess final : public platform::FileAccess {
public:
    MessageFileAccess();
    platform::Error Open(const std::string& path, std::unique_ptr<platform::OpenedFile>& file) override;

private:
    bool wow64_;
    std::string systemDirectory_;
};

// FormatMessageW(FROM_SYSTEM): the texts of this machine's own table.
class SystemMessages final : public platform::SystemMessages {
public:
    // FormatMessageW's signature: the system's own, or a test's stand-in
    // that checks the calls.
    using FormatFunction = DWORD(WINAPI*)(DWORD, LPCVOID, DWORD, DWORD, LPWSTR, DWORD, va_list*);
    explicit SystemMessages(FormatFunction format = ::FormatMessageW) : format_(format) {}
    platform::Error Format(std::uint32_t id, const std::vector<std::string>* arguments, std::string& text) override;
    std::string ErrorText(platform::Error code) override;

private:
    FormatFunction format_;
};

// The user-interface and system languages of this machine ("ja-JP").
platform::MessageLanguages MachineLanguages();

// ExpandEnvironmentStringsW / GetSystemDirectoryW; empty texts on failure.
// Under WOW64, %ProgramFiles% and %CommonProgramFiles% expand to the native
// folders (path_rules.h): the paths are those of 64-bit computers' files.
class SystemService final : public platform::SystemService {
public:
    std::string ExpandEnvironmentStrings(const std::string& text) override;
    std::string SystemDirectory() override;
};

// NetServerEnum / NetWkstaGetInfo.
class BrowseService final : public platform::BrowseService {
public:
    platform::Error EnumServers(const std::string& domain, std::vector<platform::ServerInfo>& servers) override;
    platform::Error LanGroup(std::string& group) override;
};

// This machine's services, owned together.
class Win32Platform {
public:
    platform::Platform Get() { return {eventLog_, registry_, connections_, messages_, system_, browse_, channels_}; }

private:
    EventLogService eventLog_;
    RegistryService registry_;
    ConnectionService connections_;
    MessageFileAccess messageFiles_;
    SystemMessages systemMessages_;
    platform::FileMessageService messages_{messageFiles_, systemMessages_, MachineLanguages()};
    SystemService system_;
    BrowseService browse_;
    ChannelService channels_;
};

}  // namespace quorvin::win32
