#include "bench/bench_log.h"

#include <sstream>

#include "tools/netbuild/builder.h"
#include "tools/netbuild/description.h"

namespace quorvin::bench {

// A dozen sources over the demo network's message DLLs: events with inserts,
// categories and %%n parameter strings.
std::string BenchDescription(std::size_t events) {
    struct Source {
        const char* name;
        const char* files;
        unsigned ids[3];
        int category;
        bool parameters;
    };
    const Source sources[] = {
        {"Tcpip", "message=%SystemRoot%\\System32\\netevent.dll", {0xC0001067, 0x40001069, 0x8000106A}, 0, false},
        {"W32Time", "message=%SystemRoot%\\System32\\netevent.dll", {0x40000023, 0x80000024, 0x40000023}, 0, false},
        {"Dhcp", "message=%SystemRoot%\\System32\\netevent.dll", {0xC00003EA, 0xC00003EA, 0xC00003EA}, 0, false},
        {"EventLog", "message=%SystemRoot%\\System32\\netevent.dll", {0x40001775, 0x40001779, 0x4000177D}, 0, false},
        {"SCM", "message=%SystemRoot%\\System32\\netevent.dll", {0x40001B7C, 0x40001B7B, 0xC0001B58}, 0, false},
        {"Disk", "message=%SystemRoot%\\System32\\iologmsg.dll", {0xC0000007, 0x80000033, 0xC000000B}, 0, false},
        {"atapi", "message=%SystemRoot%\\System32\\iologmsg.dll", {0xC0000009, 0xC0000009, 0xC0000009}, 0, false},
        {"Audit", "message=%SystemRoot%\\System32\\msaudite.dll category=%SystemRoot%\\System32\\msaudite.dll "
                  "parameter=%SystemRoot%\\System32\\msobjs.dll",
         {528, 560, 538}, 2, true},
        {"Userenv", "message=%SystemRoot%\\System32\\appevent.dll", {0x800005ED, 0xC0000406, 0x800005ED}, 0, false},
        {"Msi", "message=%SystemRoot%\\System32\\appevent.dll parameter=%SystemRoot%\\System32\\msobjs.dll",
         {0x40002DBB, 0x40002DCC, 0x40002DBB}, 0, true},
        {"Backup", "\"message=%SystemRoot%\\System32\\bkmsg.dll;%SystemRoot%\\System32\\bkcommon.dll\" "
                   "category=%SystemRoot%\\System32\\bkcommon.dll",
         {8000, 8001, 8002}, 1, false},
        {"AppError", "message=%SystemRoot%\\System32\\appevent.dll", {0xC00003E8, 0xC00003EA, 0xC00003E8}, 0, false},
    };
    std::ostringstream d;
    d << "local ADMIN\ncomputer ADMIN\n  systemroot C:\\WINNT\n";
    d << "computer BENCH\n  systemroot C:\\WINNT\n";
    for (const Source& s : sources) d << "  source System " << s.name << " " << s.files << "\n";
    for (const char* dll : {"netevent", "iologmsg", "msaudite", "msobjs", "appevent", "bkmsg", "bkcommon"})
        d << "  file C:\\WINNT\\System32\\" << dll << ".dll " << dll << ".dll\n";
    d << "  log System\n";
    for (std::size_t i = 0; i < events; ++i) {
        const Source& s = sources[i % 12];
        const unsigned id = s.ids[(i / 12) % 3];
        const char* type = (id >> 30) == 3 ? "error" : (id >> 30) == 2 ? "warning" : "information";
        d << "    event @" << (1100000000 + i * 7) << " " << type << " " << s.name << " " << id;
        if (s.category) d << " category=" << s.category;
        d << " \"user" << i % 97 << "\" \"" << (s.parameters ? "%%1537" : "192.168.0.1") << "\" \"%%4416\" \"PC"
          << i % 13 << "\" \"2\" \"x\"\n";
    }
    return d.str();
}

bool BuildBenchNetwork(std::size_t events, const std::filesystem::path& folder, const std::string& messages,
                       std::string& error) {
    network::NetworkDescription description;
    if (!network::ParseDescription(BenchDescription(events), 0, description, error)) return false;
    network::BuildOptions options;
    options.searchFolders.push_back(messages);
    return network::BuildNetwork(description, folder, options, error);
}

}  // namespace quorvin::bench
