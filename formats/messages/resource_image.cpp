// The resource-only image: headers, a section table with an optional .text
// and the .rsrc section. The resource tree is laid out as
//
//   root (the named types "MUI" and "WEVT_TEMPLATE" first, then id 11)
//   [11 -> names directory (1) -> languages directory (each language)]
//   [each named type -> names directory (1) -> its data entry (language 0)]
//   the data entries of the tables, then each named type's entry and name
//   the tables' data, then each named type's data (each at a multiple of 4)

#include "formats/messages/resource_image.h"

#include <algorithm>

#include "core/bytes.h"

namespace quorvin::messages {

namespace {

constexpr std::uint32_t kFirstRva = 0x1000;
constexpr std::size_t kFirstSection = 0x200;
constexpr std::uint32_t kDirectoryFlag = 0x80000000u;
constexpr std::uint16_t kMessageTableType = 11;

// A resource of a named type, name 1, language neutral; offsets from the
// start of .rsrc.
struct NamedResource {
    const char* type = nullptr;
    const std::vector<std::uint8_t>* data = nullptr;
    std::size_t typeDirectory = 0, namesDirectory = 0, dataEntry = 0, name = 0, at = 0;
};

// Offsets from the start of .rsrc of what the layout lists, beyond the
// caller's layout.
struct Places {
    std::vector<NamedResource> named;  // in the order of their type names
    std::vector<std::size_t> dataAt;
    std::size_t end = 0;
};

class Writer {
public:
    Writer(const ResourceImageSpec& spec, ResourceImageLayout& layout) : spec_(spec), lay_(layout) {}
    std::vector<std::uint8_t> Write();

private:
    void Put16(std::size_t at, std::uint32_t v) { bytes::StoreU16(out_.data() + at, static_cast<std::uint16_t>(v)); }
    void Put32(std::size_t at, std::uint64_t v) { bytes::StoreU32(out_.data() + at, static_cast<std::uint32_t>(v)); }
    void Directory(std::size_t at, std::size_t named, std::size_t ids) {
        Put16(lay_.rsrc + at + 12, static_cast<std::uint32_t>(named));
        Put16(lay_.rsrc + at + 14, static_cast<std::uint32_t>(ids));
    }
    void Entry(std::size_t at, std::uint32_t name, std::uint64_t target) {
        Put32(lay_.rsrc + at, name);
        Put32(lay_.rsrc + at + 4, target);
    }
    void Data(std::size_t entry, std::size_t at, const std::vector<std::uint8_t>& data) {
        Put32(lay_.rsrc + entry, lay_.rsrcRva + at);
        Put32(lay_.rsrc + entry + 4, data.size());
        std::copy(data.begin(), data.end(), out_.begin() + static_cast<std::ptrdiff_t>(lay_.rsrc + at));
    }
    void Lay();
    void Headers();
    void Section(std::size_t at, const char* name, std::size_t virtualSize, std::uint32_t rva, std::size_t rawSize,
                 std::size_t rawOffset, std::uint32_t flags);
    void Named(const NamedResource& r);
    void Tables(std::size_t rootEntry);

    const ResourceImageSpec& spec_;
    ResourceImageLayout& lay_;
    Places places_;
    std::vector<std::uint8_t> out_;
};

std::size_t NameLength(const char* name) {
    std::size_t length = 0;
    while (name[length] != 0) ++length;
    return length;
}

void Writer::Lay() {
    const std::size_t n = spec_.tables.size();
    std::vector<NamedResource>& named = places_.named;
    if (!spec_.mui.empty()) named.push_back({"MUI", &spec_.mui});
    if (!spec_.manifest.empty()) named.push_back({"WEVT_TEMPLATE", &spec_.manifest});
    std::size_t at = 16 + 8 * ((n ? 1 : 0) + named.size());
    if (n) {
        lay_.namesDirectory = at;
        lay_.languagesDirectory = at + 24;
        at += 24 + 16 + 8 * n;
    }
    for (NamedResource& r : named) {
        r.typeDirectory = at;
        r.namesDirectory = at + 24;
        at += 48;
    }
    for (std::size_t i = 0; i < n; ++i, at += 16) lay_.dataEntries.push_back(at);
    for (NamedResource& r : named) {
        r.dataEntry = at;
        r.name = at + 16;
        at += 16 + static_cast<std::size_t>(bytes::RoundUp(2 + 2 * NameLength(r.type), 4));
    }
    for (const auto& table : spec_.tables) {
        places_.dataAt.push_back(at);
        at = static_cast<std::size_t>(bytes::RoundUp(at + table.second.size(), 4));
    }
    for (NamedResource& r : named) {
        r.at = at;
        places_.end = at + r.data->size();
        at = static_cast<std::size_t>(bytes::RoundUp(places_.end, 4));
    }
    if (named.empty()) places_.end = at;
}

void Writer::Section(std::size_t at, const char* name, std::size_t virtualSize, std::uint32_t rva,
                     std::size_t rawSize, std::size_t rawOffset, std::uint32_t flags) {
    for (std::size_t i = 0; name[i] != 0 && i < 8; ++i) out_[at + i] = static_cast<std::uint8_t>(name[i]);
    Put32(at + 8, virtualSize);
    Put32(at + 12, rva);
    Put32(at + 16, rawSize);
    Put32(at + 20, rawOffset);
    Put32(at + 36, flags);
}

void Writer::Headers() {
    out_[0] = 'M';
    out_[1] = 'Z';
    Put32(0x3C, 0x40);
    lay_.peHeader = 0x40;
    out_[0x40] = 'P';
    out_[0x41] = 'E';
    const std::size_t file = 0x44, optionalSize = spec_.pe32plus ? 0xF0 : 0xE0;
    Put16(file, spec_.pe32plus ? 0x8664 : 0x14C);  // x64 or i386
    Put16(file + 2, spec_.codeSize ? 2 : 1);        // sections
    Put16(file + 16, optionalSize);
    Put16(file + 18, spec_.pe32plus ? 0x2022 : 0x2102);  // a DLL, executable; large addresses or 32-bit
    const std::size_t opt = lay_.optionalHeader = file + 20;
    Put16(opt, spec_.pe32plus ? 0x20B : 0x10B);
    Put32(opt + (spec_.pe32plus ? 24 : 28), 0x10000000);  // image base
    Put32(opt + 32, 0x1000);                              // section alignment
    Put32(opt + 36, kFirstSection);                       // file alignment
    Put16(opt + 48, 4);                                   // subsystem version
    Put32(opt + 56, bytes::RoundUp(lay_.rsrcRva + places_.end, 0x1000));  // size of image
    Put32(opt + 60, kFirstSection);                                       // size of headers
    Put16(opt + 68, 2);                                                   // GUI subsystem
    const std::size_t countField = spec_.pe32plus ? 108 : 92;
    Put32(opt + countField, 16);  // data directories
    lay_.resourceEntry = opt + countField + 4 + 2 * 8;
    Put32(lay_.resourceEntry, lay_.rsrcRva);
    Put32(lay_.resourceEntry + 4, places_.end);
    std::size_t section = lay_.sectionTable = opt + optionalSize;
    if (spec_.codeSize) {
        Section(section, ".text", spec_.codeSize, kFirstRva, lay_.rsrc - kFirstSection, kFirstSection, 0x60000020);
        section += 40;
    }
    Section(section, ".rsrc", places_.end, lay_.rsrcRva, out_.size() - lay_.rsrc, lay_.rsrc, 0x40000040);
}

void Writer::Named(const NamedResource& r) {
    Directory(r.typeDirectory, 0, 1);
    Entry(r.typeDirectory + 16, 1, kDirectoryFlag | r.namesDirectory);
    Directory(r.namesDirectory, 0, 1);
    Entry(r.namesDirectory + 16, 0, r.dataEntry);  // language neutral
    Data(r.dataEntry, r.at, *r.data);
    const std::size_t length = NameLength(r.type);
    Put16(lay_.rsrc + r.name, static_cast<std::uint32_t>(length));
    for (std::size_t i = 0; i < length; ++i) Put16(lay_.rsrc + r.name + 2 + 2 * i, static_cast<std::uint8_t>(r.type[i]));
}

void Writer::Tables(std::size_t rootEntry) {
    const std::size_t n = spec_.tables.size();
    Entry(rootEntry, kMessageTableType, kDirectoryFlag | lay_.namesDirectory);
    Directory(lay_.namesDirectory, 0, 1);
    Entry(lay_.namesDirectory + 16, 1, kDirectoryFlag | lay_.languagesDirectory);
    Directory(lay_.languagesDirectory, 0, n);
    for (std::size_t i = 0; i < n; ++i) {
        Entry(lay_.languagesDirectory + 16 + 8 * i, spec_.tables[i].first, lay_.dataEntries[i]);
        Data(lay_.dataEntries[i], places_.dataAt[i], spec_.tables[i].second);
        lay_.tables.push_back(lay_.rsrc + places_.dataAt[i]);
    }
}

std::vector<std::uint8_t> Writer::Write() {
    std::size_t data = spec_.codeSize + spec_.mui.size() + spec_.manifest.size();
    for (const auto& table : spec_.tables) data += table.second.size();
    if (data > kLargestResourceImage || spec_.tables.size() > 0xFFFF) return {};
    lay_.rsrc = kFirstSection + static_cast<std::size_t>(bytes::RoundUp(spec_.codeSize, kFirstSection));
    lay_.rsrcRva = kFirstRva + static_cast<std::uint32_t>(bytes::RoundUp(spec_.codeSize, 0x1000));
    Lay();
    out_.assign(lay_.rsrc + static_cast<std::size_t>(bytes::RoundUp(places_.end, kFirstSection)), 0);
    std::fill_n(out_.begin() + static_cast<std::ptrdiff_t>(kFirstSection), spec_.codeSize, 0xCC);
    Headers();
    const std::size_t named = places_.named.size();
    Directory(0, named, spec_.tables.empty() ? 0 : 1);
    for (std::size_t i = 0; i < named; ++i) {
        const NamedResource& r = places_.named[i];
        Entry(16 + 8 * i, kDirectoryFlag | static_cast<std::uint32_t>(r.name), kDirectoryFlag | r.typeDirectory);
        Named(r);
        if (r.data == &spec_.mui) lay_.mui = lay_.rsrc + r.at;
    }
    if (!spec_.tables.empty()) Tables(16 + 8 * named);
    return std::move(out_);
}

}  // namespace

std::vector<std::uint8_t> WriteResourceImage(const ResourceImageSpec& spec, ResourceImageLayout* layout) {
    ResourceImageLayout unused;
    ResourceImageLayout& lay = layout ? *layout : unused;
    lay = ResourceImageLayout{};
    return Writer(spec, lay).Write();
}

}  // namespace quorvin::messages
