#pragma once
// The answers a log read gets from the registry and the message modules,
// kept for the rest of that log. The engine asks for the same source key,
// values and message files at every event; the services answer the same
// each time while one log of one computer is read (its shares and
// connections do not change meanwhile), so each question goes to the
// service once and every later one gets the same answer: the same error
// codes, the same value bytes, a module over the same loaded file. Only
// failures a second try gives again are kept (LastingFailure); any other
// is asked again next time, as without the cache. What the engine does
// with the answers, its report lines included, is unchanged.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/lru_cache.h"
#include "services/services.h"

namespace quorvin::engine {

// Failures a second try within the log gives again: the file, key or
// value is not there, or the file holds no message table. Others (a file
// held open elsewhere, a full disk, low memory, a dropped connection, a
// refused share) may pass on the next try.
bool LastingFailure(platform::Error error);

// A registry key whose sub-keys and values are asked once.
class CachedKey : public platform::RegistryKey {
public:
    explicit CachedKey(std::unique_ptr<platform::RegistryKey> key) : key_(std::move(key)) {}

    platform::Error OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override;
    platform::Error CreateKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        return key_->CreateKey(subKey, key);
    }
    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override;
    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        return key_->SetValue(name, type, data, size);
    }

private:
    struct Value {
        platform::Error error = 0;
        std::uint32_t type = 0;
        std::string bytes;
    };
    std::shared_ptr<platform::RegistryKey> key_;
    std::map<std::string, std::pair<platform::Error, std::shared_ptr<CachedKey>>> subKeys_;
    std::map<std::string, Value> values_;
};

// Message modules loaded once while they fit in kModuleBudget (the least
// recently used are loaded again when asked for); system texts and
// expansions taken once.
class CachedMessages : public platform::MessageService {
public:
    static constexpr std::uint64_t kModuleBudget = std::uint64_t{64} << 20;
    explicit CachedMessages(platform::MessageService& messages, std::uint64_t moduleBudget = kModuleBudget)
        : messages_(messages), modules_(moduleBudget) {}

    platform::Error LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) override;
    platform::Error FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                                  const std::vector<std::string>* arguments, std::string& text) override;
    std::string SystemErrorText(platform::Error code) override;

private:
    platform::MessageService& messages_;
    LruCache<std::string, std::pair<platform::Error, std::shared_ptr<platform::MessageModule>>> modules_;
    std::map<platform::Error, std::string> systemTexts_;
};

class CachedSystem : public platform::SystemService {
public:
    explicit CachedSystem(platform::SystemService& system) : system_(system) {}
    std::string ExpandEnvironmentStrings(const std::string& text) override;
    std::string SystemDirectory() override { return system_.SystemDirectory(); }

private:
    platform::SystemService& system_;
    std::map<std::string, std::string> expansions_;
};

}  // namespace quorvin::engine
