#pragma once
// The message table of a message module (a PE DLL or EXE loaded as a data
// file), read by our own code: the RT_MESSAGETABLE resource named 1 in each
// of its languages, and the lookup of one message number in it as the system
// does it for FormatMessage.
//
// A module is read from bytes in memory; nothing here does I/O. Every offset
// and size taken from the file is checked before it is used, so a damaged
// file gives an error code, never a read outside the bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/error.h"

namespace quorvin::messages {

class ImageReader;
struct ResourceDirectory;

// Language ids (LANGID: primary language in the low 10 bits, sublanguage above).
namespace language {
constexpr std::uint16_t kNeutral = 0x0000;      // LANG_NEUTRAL, SUBLANG_NEUTRAL
constexpr std::uint16_t kUserDefault = 0x0400;  // LANG_USER_DEFAULT: what the collector asks for
constexpr std::uint16_t kSystemDefault = 0x0800;
constexpr std::uint16_t kEnglishUs = 0x0409;
constexpr std::uint16_t kJapanese = 0x0411;

constexpr std::uint16_t Primary(std::uint16_t id) { return static_cast<std::uint16_t>(id & 0x3FF); }
constexpr std::uint16_t Sub(std::uint16_t id) { return static_cast<std::uint16_t>(id >> 10); }
constexpr std::uint16_t Make(std::uint16_t primary, std::uint16_t sub) {
    return static_cast<std::uint16_t>(sub << 10 | primary);
}
}  // namespace language

// More error codes of message lookups.
namespace error {
constexpr platform::Error kResourceDataNotFound = 1812;  // the image has no resource section
constexpr platform::Error kResourceNameNotFound = 1814;
constexpr platform::Error kResourceLanguageNotFound = 1815;
}  // namespace error

// The languages of the machine a lookup runs on, which a request for a
// neutral language falls back on. The collector's machine is a Japanese
// Windows: every one of them is Japanese.
struct Locale {
    std::uint16_t thread = language::kJapanese;
    std::uint16_t user = language::kJapanese;
    std::uint16_t system = language::kJapanese;
};

// The order in which the languages of a message table are tried for a
// request in `requested`, as the resource loader of Windows NT/2000/XP does:
// the language itself, its primary language with the neutral sublanguage,
// neutral; and when the requested primary language is neutral (as for
// LANG_USER_DEFAULT, 1024): the thread's language, the user's language and
// its neutral sublanguage (not for the SYS_DEFAULT sublanguage), the
// system's language and its neutral sublanguage, US English. Duplicates are
// left out. After the list a neutral request takes the first language of the
// table, whatever it is.
std::vector<std::uint16_t> LanguageOrder(std::uint16_t requested, const Locale& locale);

// The text of one entry, as stored: Unicode entries (flag 1) as UTF-16,
// ANSI entries as bytes in the ANSI code page of the machine.
struct MessageText {
    bool unicode = false;
    std::u16string wide;
    std::string narrow;
};

// One MESSAGE_RESOURCE_BLOCK: the numbers LowId to HighId.
struct MessageBlock {
    std::uint32_t lowId = 0;
    std::uint32_t highId = 0;
};

class MessageTable {
public:
    // Reads a PE32 or PE32+ image: 0, or 193 (ERROR_BAD_EXE_FORMAT) when the
    // bytes are no PE image (DOS header, PE signature, file header, optional
    // header and section table must lie within them). An image without a
    // usable message table still loads, as LoadLibraryEx loads it; its
    // lookups then fail with TableError(). `problem`, when given, receives
    // what is wrong and where.
    static platform::Error Load(const std::uint8_t* data, std::size_t size, MessageTable& table,
                                std::string* problem = nullptr);

    // The table of the image `image` reads, once its headers are read: what
    // Load gives for the same bytes, reading only the message table's
    // directories and data. After a read that fails (image.Failed()) the
    // table is to be dropped.
    static void Read(ImageReader& image, MessageTable& table);

    // A table of one language made from texts (stored as Unicode entries).
    static MessageTable FromTexts(std::uint16_t language,
                                  const std::vector<std::pair<std::uint32_t, std::u16string>>& texts);

    // 0 when the module has a message table; else the error of every lookup:
    // 1812 no resource section, 1813 (ERROR_RESOURCE_TYPE_NOT_FOUND) no
    // RT_MESSAGETABLE, 1814 no resource named 1, 1815 no language, 13
    // (ERROR_INVALID_DATA) a resource directory that runs outside the file.
    platform::Error TableError() const { return tableError_; }
    // What TableError() or a failed lookup found wrong, and where; empty when nothing.
    const std::string& Problem() const { return problem_; }

    // The language ids of the message table, in directory order.
    std::vector<std::uint16_t> Languages() const;

    // The bytes of the table's data, each stored range once (languages may
    // share theirs): what a reader of the table needs of the file beyond
    // its headers and resource directory.
    std::size_t DataBytes() const;

    // The language a lookup in `requested` reads (LanguageOrder, then the
    // first language for a neutral request): 0, or the lookup error.
    platform::Error SelectLanguage(std::uint16_t requested, const Locale& locale, std::uint16_t& chosen) const;

    // The blocks of the table in exactly `language`, in stored order: 0, 1815
    // when the table has no such language, 13 when a block lies outside the
    // table (the blocks before it are given).
    platform::Error Blocks(std::uint16_t language, std::vector<MessageBlock>& blocks) const;

    // The MESSAGE_RESOURCE_DATA stored for exactly `language`, as the file
    // holds it (to copy a language's table into another file): 0, 1815 when
    // the table has no such language, or the error that language's data gave.
    platform::Error Data(std::uint16_t language, std::vector<std::uint8_t>& data) const;

    // The entry for message `id` in the language SelectLanguage chooses, found
    // as the system finds it: the first block whose range holds the number,
    // then as many entries on as the number lies above the block's LowId,
    // each entry's Length leading to the next one; the text ends at its first
    // NUL, whatever the Length says. 0; 317 (ERROR_MR_MID_NOT_FOUND) when no
    // block holds the number; 13 when a block, an entry or a text runs past the
    // end of the table (`problem` then says where); or TableError().
    platform::Error Find(std::uint32_t id, std::uint16_t requested, const Locale& locale, MessageText& text,
                         std::string* problem = nullptr) const;

private:
    struct Language {
        std::uint16_t id = 0;
        bool named = false;  // an entry with a name instead of a number: only ever the "first" language
        platform::Error error = platform::error::kSuccess;  // the data could not be mapped
        std::string problem;
        std::size_t offset = 0;  // its MESSAGE_RESOURCE_DATA in bytes_
        std::size_t size = 0;
    };
    struct Placement;

    void ReadLanguages(ImageReader& image, const ResourceDirectory& directory);
    void TakeData(ImageReader& image, std::vector<Placement> placed);
    const Language* Select(std::uint16_t requested, const Locale& locale) const;

    platform::Error tableError_ = error::kResourceDataNotFound;
    std::string problem_;
    std::vector<Language> languages_;
    // The data of the languages, each byte of the file once: languages may
    // share or overlap their data.
    std::vector<std::uint8_t> bytes_;
};

// MESSAGE_RESOURCE_DATA holding `texts` as Unicode entries (numbers in
// ascending order, each run of consecutive numbers one block), as the message
// compiler writes it.
std::vector<std::uint8_t> EncodeMessageData(std::vector<std::pair<std::uint32_t, std::u16string>> texts);

}  // namespace quorvin::messages
