// Provider manifests (WEVT_TEMPLATE resources) from anywhere: a manifest
// the reader takes is written again and must read back the same, and each
// of its templates must walk; one it refuses must say why.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/wevt/wevt.h"

using namespace quorvin::wevt;

namespace {

class CountingSink final : public quorvin::evtx::XmlSink {
public:
    std::size_t events = 0;
    void Open(quorvin::evtx::NameView) override { ++events; }
    void Attribute(quorvin::evtx::NameView) override { ++events; }
    void Content() override { ++events; }
    void End() override { ++events; }
    void Literal(const std::uint8_t*, std::uint32_t) override { ++events; }
    void Character(char16_t) override { ++events; }
    void Entity(quorvin::evtx::NameView) override { ++events; }
    void Value(quorvin::evtx::ValueView, bool) override { ++events; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Manifest manifest;
    std::string problem;
    if (!ReadManifest(data, size, manifest, problem)) {
        if (problem.empty() || !manifest.providers.empty()) std::abort();
        return 0;
    }
    for (const Provider& p : manifest.providers) {
        for (const Template& t : p.templates) {
            CountingSink sink;
            if (!WalkTemplate(t, sink, problem)) std::abort();
        }
        for (const Event& e : p.events)
            if (e.templateIndex >= static_cast<int>(p.templates.size())) std::abort();
    }
    const std::vector<std::uint8_t> again = WriteManifest(manifest);
    Manifest reread;
    if (!ReadManifest(again.data(), again.size(), reread, problem)) std::abort();
    if (reread.providers.size() != manifest.providers.size()) std::abort();
    for (std::size_t i = 0; i < manifest.providers.size(); ++i)
        if (!(reread.providers[i] == manifest.providers[i])) std::abort();
    return 0;
}
