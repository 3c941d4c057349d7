#pragma once
// An in-memory registry for tests of the settings store: keys by path, values
// by name (both compared without regard to ASCII case), failures on demand,
// and a log of every value written, in order.

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services/services.h"

namespace quorvin::testing {

struct FakeValue {
    std::uint32_t type = 0;
    std::string data;
};

struct FakeHive {
    std::map<std::string, std::map<std::string, FakeValue>> keys;
    platform::Error openError = 0;    // returned by every OpenKey when non-zero
    platform::Error createError = 0;  // returned by every CreateKey, without a key, when non-zero
    std::map<std::string, platform::Error> setErrors;  // by value name
    std::vector<std::string> written;                   // names of values set, in order
    int readOpens = 0;   // keys opened with read access (OpenKey)
    int queryOpens = 0;  // keys opened with query-value access only (OpenKeyToQuery)

    static std::string Fold(std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    }
    void Set(const std::string& key, const std::string& name, std::uint32_t type, std::string data) {
        keys[Fold(key)][Fold(name)] = FakeValue{type, std::move(data)};
    }
    void SetDword(const std::string& key, const std::string& name, std::uint32_t v) {
        std::string data(4, '\0');
        for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(v >> (8 * i));
        Set(key, name, platform::regtype::kDword, data);
    }
    void SetText(const std::string& key, const std::string& name, const std::string& text) {
        Set(key, name, platform::regtype::kSz, text + '\0');
    }
    const FakeValue* Get(const std::string& key, const std::string& name) const {
        const auto k = keys.find(Fold(key));
        if (k == keys.end()) return nullptr;
        const auto v = k->second.find(Fold(name));
        return v == k->second.end() ? nullptr : &v->second;
    }
    std::uint32_t Dword(const std::string& key, const std::string& name) const {
        const FakeValue* v = Get(key, name);
        if (!v || v->data.size() != 4) return 0xDEADBEEF;
        std::uint32_t r = 0;
        for (int i = 3; i >= 0; --i) r = r << 8 | static_cast<unsigned char>(v->data[i]);
        return r;
    }
};

class FakeKey : public platform::RegistryKey {
public:
    FakeKey(FakeHive& hive, std::string path) : hive_(hive), path_(std::move(path)) {}

    platform::Error OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        ++hive_.readOpens;
        return Open(subKey, key);
    }
    platform::Error OpenKeyToQuery(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        ++hive_.queryOpens;
        return Open(subKey, key);
    }
    platform::Error Open(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) {
        if (hive_.openError) return hive_.openError;
        const std::string path = Join(subKey);
        if (!hive_.keys.count(FakeHive::Fold(path))) return platform::error::kFileNotFound;
        key = std::make_unique<FakeKey>(hive_, path);
        return 0;
    }
    platform::Error CreateKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        if (hive_.createError) return hive_.createError;  // and no key
        const std::string path = Join(subKey);
        hive_.keys[FakeHive::Fold(path)];
        key = std::make_unique<FakeKey>(hive_, path);
        return 0;
    }
    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override {
        const FakeValue* v = hive_.Get(path_, name);
        if (!v) return platform::error::kFileNotFound;
        type = v->type;
        const auto needed = static_cast<std::uint32_t>(v->data.size());
        if (!data) {
            size = needed;
            return 0;
        }
        if (size < needed) {
            size = needed;
            return platform::error::kMoreData;
        }
        std::memcpy(data, v->data.data(), needed);
        size = needed;
        return 0;
    }
    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        hive_.written.push_back(name);
        const auto e = hive_.setErrors.find(name);
        if (e != hive_.setErrors.end()) return e->second;
        hive_.Set(path_, name, type, std::string(reinterpret_cast<const char*>(data), size));
        return 0;
    }

private:
    std::string Join(const std::string& subKey) const { return path_.empty() ? subKey : path_ + "\\" + subKey; }
    FakeHive& hive_;
    std::string path_;
};

}  // namespace quorvin::testing
