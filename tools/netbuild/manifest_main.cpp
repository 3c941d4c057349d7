// quorvin-manifest: makes the bytes of a provider manifest (the resource
// WEVT_TEMPLATE of a message DLL) from its text (tools/netbuild/manifest_text.h).
//
//   quorvin-manifest MANIFEST.man OUTPUT.bin

#include "core/cp932.h"
#include "services/simulated/paths.h"
#include "tools/netbuild/manifest_text.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quorvin::network;

int Fail(const std::string& cp932) {
#ifdef _WIN32
    const std::string text = cp932;
#else
    const std::string text = quorvin::text::Cp932ToUtf8(cp932);
#endif
    std::fprintf(stderr, "quorvin-manifest: %s\n", text.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvin-manifest MANIFEST.man OUTPUT.bin\n");
        return 2;
    }
    const fs::path source = fs::u8path(argv[1]);
    const fs::path out = fs::u8path(argv[2]);
    std::vector<std::uint8_t> text;
    if (ReadWholeFile(source, 16u << 20, text) != 0) return Fail("cannot read " + HostNameToCp932(source));
    quorvin::wevt::Manifest manifest;
    std::string error;
    if (!ParseManifestText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), manifest, error))
        return Fail(HostNameToCp932(source) + " " + error);
    const std::vector<std::uint8_t> bytes = quorvin::wevt::WriteManifest(manifest);
    quorvin::wevt::Manifest check;
    if (!quorvin::wevt::ReadManifest(bytes.data(), bytes.size(), check, error) || !(check.providers == manifest.providers))
        return Fail(HostNameToCp932(source) + ": the manifest does not read back (" + error + ")");
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) return Fail("cannot write " + HostNameToCp932(out));
    return 0;
}
