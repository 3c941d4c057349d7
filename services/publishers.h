#pragma once
// The manifest-based providers (publishers) of one computer, as its event
// log service knows them: registered under
// SOFTWARE\Microsoft\Windows\CurrentVersion\WINEVT\Publishers\{guid} (the
// default value the provider's name; ResourceFileName the module holding
// its manifest, MessageFileName its message table, ParameterFileName its
// "%%n" texts), read from the computer's own files with our readers.
//
// A catalog serves one computer for one run: each provider is read once,
// and one that cannot be found or read is remembered as such (15002) and
// not looked up again. Used by one thread at a time.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/evtx/evtx.h"
#include "formats/wevt/wevt.h"
#include "services/message_files.h"
#include "services/services.h"

namespace quorvin::platform {

// "SOFTWARE\Microsoft\Windows\CurrentVersion\WINEVT\Publishers\<guid>".
std::string PublisherKeyPath(const std::string& providerGuid);

// A path a computer's registry names, as that computer reads it: a name
// without a backslash lies in "%SystemRoot%\System32"; %SystemRoot% and
// %windir% are `systemRoot`, %SystemDrive% its drive, %ProgramFiles%,
// %ProgramFiles(x86)%, %CommonProgramFiles% and %ProgramData% below that
// drive (names without regard to ASCII case); any other "%NAME%" stays as
// it is, as ExpandEnvironmentStrings leaves a name that is not set.
std::string ExpandOnComputer(const std::string& value, const std::string& systemRoot);

// The language name ("ja-JP") of a Windows language number (0x0411); empty
// for a number not known here.
std::string LanguageName(std::uint16_t language);

class PublisherCatalog {
public:
    // `machine`: the computer's HKEY_LOCAL_MACHINE; `files` opens the
    // computer's files by the paths it names them by ("C:\Windows\...").
    // Both must outlive the catalog.
    PublisherCatalog(RegistryKey& machine, FileAccess& files);
    ~PublisherCatalog();
    PublisherCatalog(const PublisherCatalog&) = delete;
    PublisherCatalog& operator=(const PublisherCatalog&) = delete;

    // EvtFormatMessage for a record of a channel: the message of the
    // record's event (its provider's Guid, EventID and Version, its data
    // values in order) and the names of its level, task, opcode, channel and
    // keywords. 15002 without a provider Guid or when the provider cannot
    // be read; 15027 when it defines no such event or message; 15033 when
    // none of its message tables can be read.
    void Format(const evtx::Record& record, ChannelTexts& texts);

    // The message of a classic record of the provider `guid` ("{...}"):
    // the event definition whose template takes `strings` (ChooseEvent
    // without a version), %1..%n from them. The same errors as Format.
    Error FormatClassic(const std::string& guid, std::uint16_t eventId, const std::vector<std::u16string>& strings,
                        std::u16string& message);

private:
    struct Provider;
    // The provider of the GUID text (braces optional), read on first use;
    // null when it cannot be or the text is no GUID.
    const Provider* Find(const std::u16string& guidText);
    // Reads the provider registered under `key` ("{GUID}").
    void Load(const std::string& key, const wevt::Guid& guid, Provider& provider);
    std::string SystemRoot();
    FileMessageService& Messages();

    RegistryKey& machine_;
    FileAccess& files_;
    std::unique_ptr<FileMessageService> messages_;  // made once the computer's language is known
    messages::Locale locale_;                       // set with messages_
    std::string systemRoot_;                        // read on first use
    std::map<wevt::Guid, std::unique_ptr<Provider>> providers_;
};

}  // namespace quorvin::platform
