#include "engine/log_cache.h"

#include <cstring>

namespace quorvin::engine {

namespace {

// A cached key handed out: shares the cache of the key it stands for.
class CachedKeyHandle : public platform::RegistryKey {
public:
    explicit CachedKeyHandle(std::shared_ptr<CachedKey> key) : key_(std::move(key)) {}
    platform::Error OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        return key_->OpenKey(subKey, key);
    }
    platform::Error CreateKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        return key_->CreateKey(subKey, key);
    }
    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override {
        return key_->QueryValue(name, type, data, size);
    }
    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        return key_->SetValue(name, type, data, size);
    }

private:
    std::shared_ptr<CachedKey> key_;
};

// A module handed out again: the loaded module stays with the cache.
class SharedModule : public platform::MessageModule {
public:
    explicit SharedModule(std::shared_ptr<platform::MessageModule> module) : module(std::move(module)) {}
    std::shared_ptr<platform::MessageModule> module;
};

}  // namespace

bool LastingFailure(platform::Error error) {
    switch (error) {
        case platform::error::kFileNotFound:
        case platform::error::kPathNotFound:
        case 11:   // ERROR_BAD_FORMAT
        case 123:  // ERROR_INVALID_NAME
        case 161:  // ERROR_BAD_PATHNAME
        case platform::error::kBadExeFormat:
        case 1812:  // ERROR_RESOURCE_DATA_NOT_FOUND
        case platform::error::kResourceTypeNotFound:
        case 1814:  // ERROR_RESOURCE_NAME_NOT_FOUND
        case 1815:  // ERROR_RESOURCE_LANG_NOT_FOUND
            return true;
        default:
            return false;
    }
}

platform::Error CachedKey::OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) {
    auto found = subKeys_.find(subKey);
    if (found == subKeys_.end()) {
        std::unique_ptr<platform::RegistryKey> opened;
        const platform::Error error = key_->OpenKey(subKey, opened);
        if (error != platform::error::kSuccess && !LastingFailure(error)) return error;
        std::shared_ptr<CachedKey> cached;
        if (error == platform::error::kSuccess && opened) cached = std::make_shared<CachedKey>(std::move(opened));
        found = subKeys_.emplace(subKey, std::make_pair(error, cached)).first;
    }
    const auto& [error, cached] = found->second;
    if (error != platform::error::kSuccess) return error;
    if (!cached) return platform::error::kInvalidHandle;
    key = std::make_unique<CachedKeyHandle>(cached);
    return platform::error::kSuccess;
}

platform::Error CachedKey::QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                                      std::uint32_t& size) {
    auto found = values_.find(name);
    if (found == values_.end()) {
        // The whole value once: its size, then its bytes.
        Value value;
        std::uint32_t needed = 0;
        value.error = key_->QueryValue(name, value.type, nullptr, needed);
        if (value.error == platform::error::kSuccess) {
            value.bytes.assign(needed, '\0');
            std::uint32_t got = needed;
            value.error = key_->QueryValue(name, value.type, reinterpret_cast<std::uint8_t*>(value.bytes.data()), got);
            if (value.error == platform::error::kSuccess) value.bytes.resize(got < needed ? got : needed);
        }
        if (value.error != platform::error::kSuccess && !LastingFailure(value.error)) return value.error;
        found = values_.emplace(name, std::move(value)).first;
    }
    const Value& value = found->second;
    if (value.error != platform::error::kSuccess) return value.error;
    type = value.type;
    const auto needed = static_cast<std::uint32_t>(value.bytes.size());
    if (!data) {
        size = needed;
        return platform::error::kSuccess;
    }
    if (size < needed) {
        size = needed;
        return platform::error::kMoreData;
    }
    std::memcpy(data, value.bytes.data(), needed);
    size = needed;
    return platform::error::kSuccess;
}

platform::Error CachedMessages::LoadDataFile(const std::string& path, std::unique_ptr<platform::MessageModule>& module) {
    auto* found = modules_.Find(path);
    if (!found) {
        std::unique_ptr<platform::MessageModule> loaded;
        const platform::Error error = messages_.LoadDataFile(path, loaded);
        if (error != platform::error::kSuccess && !LastingFailure(error)) return error;
        const std::uint64_t bytes = (loaded ? loaded->Bytes() : 0) + path.size();
        found = &modules_.Put(path, std::make_pair(error, std::shared_ptr<platform::MessageModule>(std::move(loaded))),
                              bytes);
    }
    const auto [error, loaded] = *found;
    if (error != platform::error::kSuccess) return error;
    if (!loaded) return platform::error::kInvalidHandle;
    module = std::make_unique<SharedModule>(loaded);
    return platform::error::kSuccess;
}

platform::Error CachedMessages::FormatMessage(const platform::MessageModule* module, std::uint32_t id,
                                              const std::vector<std::string>* arguments, std::string& text) {
    const auto* shared = dynamic_cast<const SharedModule*>(module);
    return messages_.FormatMessage(shared ? shared->module.get() : module, id, arguments, text);
}

std::string CachedMessages::SystemErrorText(platform::Error code) {
    auto found = systemTexts_.find(code);
    if (found == systemTexts_.end()) found = systemTexts_.emplace(code, messages_.SystemErrorText(code)).first;
    return found->second;
}

std::string CachedSystem::ExpandEnvironmentStrings(const std::string& text) {
    auto found = expansions_.find(text);
    if (found == expansions_.end()) found = expansions_.emplace(text, system_.ExpandEnvironmentStrings(text)).first;
    return found->second;
}

}  // namespace quorvin::engine
