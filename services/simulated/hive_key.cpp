#include "services/simulated/hive_key.h"

#include <utility>

namespace quorvin::reg {

namespace {

namespace error = platform::error;
namespace regtype = platform::regtype;

bool IsTextType(std::uint32_t type) {
    return type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
}

// What an "A" function sees of a C string argument: the text before the first NUL.
std::string_view CString(const std::string& s) { return std::string_view(s).substr(0, s.find('\0')); }

class HiveKey final : public platform::RegistryKey {
public:
    HiveKey(std::shared_ptr<Hive> hive, Key* key, std::size_t depth, bool writable,
            std::shared_ptr<const ChangeCallback> onChange)
        : hive_(std::move(hive)), key_(key), depth_(depth), writable_(writable), onChange_(std::move(onChange)) {}

    platform::Error OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        key.reset();
        std::vector<std::string> names;
        if (const platform::Error e = SplitKeyPath(subKey, names)) return e;
        for (std::string& name : names) name = NormalizeText(name);
        const std::lock_guard<std::mutex> lock(hive_->mutex);
        Key* found = key_;
        for (const std::string& name : names) {
            found = found->FindSubKey(name);
            if (found == nullptr) return error::kFileNotFound;
        }
        key = std::make_unique<HiveKey>(hive_, found, depth_ + names.size(), false, onChange_);
        return error::kSuccess;
    }

    platform::Error CreateKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        key.reset();
        if (!writable_) return error::kAccessDenied;
        std::vector<std::string> names;
        if (const platform::Error e = SplitKeyPath(subKey, names)) return e;
        for (std::string& name : names) {
            name = NormalizeText(name);
            if (!IsValidKeyName(name)) return error::kInvalidParameter;
        }
        if (depth_ + names.size() > kMaxDepth) return error::kInvalidParameter;
        bool changed = false;
        Key* made = key_;
        {
            const std::lock_guard<std::mutex> lock(hive_->mutex);
            for (const std::string& name : names) {
                bool added = false;
                made = made->AddSubKey(name, &added);
                changed = changed || added;
            }
        }
        if (changed) {
            if (const platform::Error e = Changed()) return e;
        }
        key = std::make_unique<HiveKey>(hive_, made, depth_ + names.size(), true, onChange_);
        return error::kSuccess;
    }

    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override {
        const std::string normalized = NormalizeText(CString(name));
        const std::lock_guard<std::mutex> lock(hive_->mutex);
        return reg::QueryValue(*key_, normalized, type, data, size);
    }

    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        if (!writable_) return error::kAccessDenied;
        if (data == nullptr && size != 0) return error::kInvalidParameter;
        const std::string normalized = NormalizeText(CString(name));
        if (!IsValidValueName(normalized)) return error::kInvalidParameter;
        Value value;
        value.type = type;
        if (size > 0) value.data.assign(data, data + size);
        if (IsTextType(type)) {
            const std::string text =
                NormalizeText(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
            value.data.assign(text.begin(), text.end());
        }
        if (value.data.size() > kMaxValueBytes) return error::kInvalidParameter;
        {
            const std::lock_guard<std::mutex> lock(hive_->mutex);
            if (!key_->SetValue(normalized, std::move(value))) return error::kInvalidParameter;
        }
        return Changed();
    }

private:
    platform::Error Changed() const { return *onChange_ ? (*onChange_)() : error::kSuccess; }

    std::shared_ptr<Hive> hive_;
    Key* key_;  // lives as long as hive_: nothing here removes keys
    std::size_t depth_;
    bool writable_;
    std::shared_ptr<const ChangeCallback> onChange_;
};

}  // namespace

std::unique_ptr<platform::RegistryKey> OpenHiveRoot(std::shared_ptr<Hive> hive, bool writable,
                                                    ChangeCallback onChange) {
    Key* root = &hive->root;
    return std::make_unique<HiveKey>(std::move(hive), root, 0, writable,
                                     std::make_shared<const ChangeCallback>(std::move(onChange)));
}

}  // namespace quorvin::reg
