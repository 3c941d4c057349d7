#pragma once
// Event log files of Windows Vista and later (.evtx): a 4 KiB file header,
// then chunks of 64 KiB, each with a 512-byte header and records of binary
// XML. Names and template definitions are stored once per chunk, where
// they are first used, and referred to by their offset in the chunk after
// that.
//
// Everything here works on bytes in memory. The reader walks the records
// one at a time and gives each record's System fields and event data as
// texts, as Windows' own XML rendering shows them, in UTF-16.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvin::evtx {

constexpr std::size_t kFileHeaderSize = 0x80;    // the part the checksum covers ends at 0x78
constexpr std::size_t kHeaderBlockSize = 0x1000;  // where the first chunk starts
constexpr std::size_t kChunkSize = 0x10000;
constexpr std::size_t kChunkHeaderSize = 0x200;  // where a chunk's first record starts
constexpr std::size_t kRecordHeaderSize = 24;
constexpr std::uint32_t kRecordSignature = 0x00002A2A;

// File header flags.
namespace flag {
constexpr std::uint32_t kDirty = 1;  // the log was not closed
constexpr std::uint32_t kFull = 2;
}  // namespace flag

// Value types of binary XML; kArray is added to a type for an array of it.
namespace type {
constexpr std::uint8_t kNull = 0x00, kString = 0x01, kAnsiString = 0x02, kInt8 = 0x03, kUInt8 = 0x04,
                       kInt16 = 0x05, kUInt16 = 0x06, kInt32 = 0x07, kUInt32 = 0x08, kInt64 = 0x09,
                       kUInt64 = 0x0A, kFloat = 0x0B, kDouble = 0x0C, kBool = 0x0D, kBinary = 0x0E,
                       kGuid = 0x0F, kSizeT = 0x10, kFileTime = 0x11, kSysTime = 0x12, kSid = 0x13,
                       kHexInt32 = 0x14, kHexInt64 = 0x15, kBinXml = 0x21, kArray = 0x80;
}  // namespace type

// ---- Records ----------------------------------------------------------------

// The System fields a record can have, each under its element in <System>.
enum class Field : std::uint8_t {
    kProviderName,       // Provider Name=
    kProviderGuid,       // Provider Guid=
    kEventSourceName,    // Provider EventSourceName=
    kEventId,            // EventID
    kQualifiers,         // EventID Qualifiers=
    kVersion,
    kLevel,
    kTask,
    kOpcode,
    kKeywords,
    kTimeCreated,        // TimeCreated SystemTime=
    kEventRecordId,
    kActivityId,         // Correlation ActivityID=
    kRelatedActivityId,  // Correlation RelatedActivityID=
    kProcessId,          // Execution ProcessID=
    kThreadId,           // Execution ThreadID=
    kChannel,
    kComputer,
    kUserId,             // Security UserID=
    // What the computer that forwarded or saved the event rendered of it
    // (RenderingInfo, beside System): the texts in its language.
    kRenderedMessage,    // RenderingInfo Message
    kRenderedLevel,      // RenderingInfo Level
    kRenderedTask,       // RenderingInfo Task
    kRenderedOpcode,     // RenderingInfo Opcode
};
constexpr std::size_t kFieldCount = 23;

// `length` UTF-16 units from `begin` in Record::text.
struct TextRef {
    std::uint32_t begin = 0;
    std::uint32_t length = 0;
};

// One item of the event's data: EventData's <Data Name="x"> (unnamed ones
// are "param1", "param2"... by their place among the Data elements), any
// other element of EventData by its name, and UserData's elements without
// child elements by their names. A value of array type gives one pair for
// each of its items, as Windows repeats the element for each.
struct DataPair {
    TextRef name;
    TextRef value;
};

struct Record {
    std::uint64_t id = 0;       // the record header's identifier
    std::uint64_t written = 0;  // FILETIME the record was written
    std::uint64_t offset = 0;   // where it starts in the file
    std::array<TextRef, kFieldCount> system{};
    std::uint32_t present = 0;  // one bit for each Field the record has
    std::vector<DataPair> data;
    // Every text of the record; kept between records so that reading the
    // next one reuses its room.
    std::u16string text;

    bool Has(Field f) const { return (present >> static_cast<unsigned>(f) & 1) != 0; }
    std::u16string_view Text(TextRef t) const { return std::u16string_view(text).substr(t.begin, t.length); }
    // Empty when the record has no such field.
    std::u16string_view System(Field f) const { return Text(system[static_cast<std::size_t>(f)]); }
};

// What was wrong in the file and where: `offset` into the file, and a text
// that names the part ("chunk 3 at 0x21000: ...").
struct Problem {
    std::uint64_t offset = 0;
    std::string what;
};

struct FileInfo {
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t flags = 0;
    std::uint16_t chunkCount = 0;  // as the header says
    std::uint64_t nextRecordId = 0;
};

class ChunkReader;

// Reads the records of a file image in memory, in file order. Nothing is
// copied: the bytes must outlive the reader.
//
// The header must have its signature; anything else wrong is a problem
// and the reading goes on. A clean file is read up to the header's number
// of chunks, a dirty one up to the last chunk the file holds. A chunk with
// a wrong signature or checksum is skipped; a record whose frame is broken
// (signature, size, the copy of the size at its end) ends its chunk.
class FileReader {
public:
    FileReader(const std::uint8_t* data, std::size_t size);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // False when the bytes are no event log file; Problems() says why.
    bool Valid() const { return valid_; }
    const FileInfo& Info() const { return info_; }
    // The next record; false after the last.
    bool Next(Record& record);
    const std::vector<Problem>& Problems() const { return problems_; }

private:
    bool OpenChunk(std::size_t index);

    const std::uint8_t* data_;
    std::size_t size_;
    bool valid_ = false;
    FileInfo info_;
    std::size_t chunks_ = 0;       // how many chunks are read
    std::size_t nextChunk_ = 0;    // the chunk to open next
    bool inChunk_ = false;
    std::unique_ptr<ChunkReader> chunk_;
    std::vector<Problem> problems_;
};

// A record's text as UTF-8, converted directly; a lone surrogate becomes U+FFFD.
std::string Utf8(std::u16string_view text);

// ---- Writing test files -------------------------------------------------------

// A node of an element tree, of a template's definition or of the content
// around it.
struct Node {
    enum class Kind : std::uint8_t { kElement, kText, kSubstitution, kCData, kCharRef, kEntityRef, kPi };
    Kind kind = Kind::kElement;
    std::u16string name;  // element, entity reference, processing instruction target
    std::u16string text;  // text, CDATA, processing instruction data
    char16_t character = 0;
    std::uint16_t index = 0;  // substitution: which value
    std::uint8_t valueType = 0;
    bool optional = false;
    // An attribute's value is a list of text, substitution, character and
    // entity reference nodes.
    std::vector<std::pair<std::u16string, std::vector<Node>>> attributes;
    std::vector<Node> children;
};

// Nodes of a tree, as the writers below take them: an element with its
// attributes and children, a text (or CDATA), a substitution of value
// `index` of the instance.
inline Node Element(std::u16string name, std::vector<std::pair<std::u16string, std::vector<Node>>> attributes,
                    std::vector<Node> children = {}) {
    Node n;
    n.name = std::move(name);
    n.attributes = std::move(attributes);
    n.children = std::move(children);
    return n;
}
inline Node Text(std::u16string text, Node::Kind kind = Node::Kind::kText) {
    Node n;
    n.kind = kind;
    n.text = std::move(text);
    return n;
}
inline Node Sub(std::uint16_t index, std::uint8_t valueType, bool optional = true) {
    Node n;
    n.kind = Node::Kind::kSubstitution;
    n.index = index;
    n.valueType = valueType;
    n.optional = optional;
    return n;
}

struct Instance;

// A substitution value: `bytes` as stored, or for type kBinXml the
// template instance `xml` written as a fragment.
struct Value {
    std::uint8_t type = type::kNull;
    std::vector<std::uint8_t> bytes;
    std::shared_ptr<Instance> xml;
};

struct Instance {
    std::size_t templateIndex = 0;  // into the templates given to WriteFile
    std::vector<Value> values;
};

struct Template {
    std::array<std::uint8_t, 16> guid{};
    Node root;
};

struct WrittenRecord {
    std::uint64_t id = 0;
    std::uint64_t written = 0;
    Instance instance;
};

struct WriteOptions {
    std::uint16_t minorVersion = 1;
    std::uint32_t flags = 0;
    // The chunk count the header gives; -1 for the number written. A log
    // left dirty has a header that counts fewer chunks than it holds.
    int headerChunks = -1;
};

// A file image with the records, as many to a chunk as fit. Each chunk
// defines a name or a template where it is first used and refers back to
// it after that. Checksums are set.
std::vector<std::uint8_t> WriteFile(const std::vector<Template>& templates, const std::vector<WrittenRecord>& records,
                                    const WriteOptions& options = {});

// Sets the checksums of the chunk at `chunk` (kChunkSize bytes) from its
// bytes, and those of the file header at `header`: for tests that change
// a file and want it to stay sound otherwise.
void SealChunk(std::uint8_t* chunk);
void SealFileHeader(std::uint8_t* header);

// The binary XML fragment of the element `root` with its names stored in
// place (no offsets): a template of a provider's manifest (formats/wevt).
std::vector<std::uint8_t> WriteInlineXml(const Node& root);

}  // namespace quorvin::evtx
