#include "core/wide.h"

#include <cstring>
#include <limits>

#include "core/cp932.h"
#include "services/win32/win32_platform.h"

namespace quorvin::win32 {

namespace {

namespace error = platform::error;

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A value that changes between the size query and the read is read again, this many times at most.
constexpr int kMostReadAttempts = 4;

class RegistryKey final : public platform::RegistryKey {
public:
    // `owned`: the key is closed with the object; predefined keys are not.
    RegistryKey(HKEY key, bool owned) : key_(key), owned_(owned) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // A key that cannot be closed has nobody left to tell: the handle is gone either way.
    ~RegistryKey() override {
        if (owned_) static_cast<void>(RegCloseKey(key_));
    }

    platform::Error OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        return Open(subKey, KEY_READ, key);
    }

    platform::Error OpenKeyToQuery(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        return Open(subKey, KEY_QUERY_VALUE, key);
    }

    platform::Error CreateKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        key.reset();
        HKEY created = nullptr;
        const LONG r = RegCreateKeyExW(key_, Wide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                       nullptr, &created, nullptr);
        if (r != ERROR_SUCCESS) return static_cast<platform::Error>(r);
        key = std::make_unique<RegistryKey>(created, true);
        return error::kSuccess;
    }

private:
    platform::Error Open(const std::string& subKey, REGSAM access, std::unique_ptr<platform::RegistryKey>& key) {
        key.reset();
        HKEY opened = nullptr;
        const LONG r = RegOpenKeyExW(key_, Wide(subKey).c_str(), 0, access, &opened);
        if (r != ERROR_SUCCESS) return static_cast<platform::Error>(r);
        key = std::make_unique<RegistryKey>(opened, true);
        return error::kSuccess;
    }

public:
    // RegQueryValueExA through the W function: texts are converted whole,
    // terminators included, so sizes are CP932 byte counts. A text stored
    // without a terminator gets one after the data when the buffer has room,
    // not counted in `size`.
    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override {
        const std::wstring wideName = Wide(name);
        std::vector<BYTE> raw;
        DWORD rawType = REG_NONE;
        for (int attempt = 1;; ++attempt) {
            DWORD rawSize = 0;
            LONG r = RegQueryValueExW(key_, wideName.c_str(), nullptr, &rawType, nullptr, &rawSize);
            if (r != ERROR_SUCCESS) return static_cast<platform::Error>(r);
            raw.resize(rawSize);
            r = RegQueryValueExW(key_, wideName.c_str(), nullptr, &rawType, raw.empty() ? nullptr : raw.data(),
                                 &rawSize);
            if (r == ERROR_SUCCESS) {
                raw.resize(rawSize);
                break;
            }
            if (r != ERROR_MORE_DATA || attempt == kMostReadAttempts) return static_cast<platform::Error>(r);
        }

        std::string converted;
        const std::uint8_t* value = raw.data();
        std::size_t valueSize = raw.size();
        if (IsText(rawType)) {
            // An odd last byte is half a character: it is dropped.
            std::u16string wide(raw.size() / 2, u'\0');
            if (!wide.empty()) std::memcpy(wide.data(), raw.data(), wide.size() * 2);
            converted = text::FromUtf16(wide);
            value = reinterpret_cast<const std::uint8_t*>(converted.data());
            valueSize = converted.size();
        }
        if (valueSize > std::numeric_limits<std::uint32_t>::max()) return error::kInvalidData;
        type = rawType;
        const auto needed = static_cast<std::uint32_t>(valueSize);
        if (data == nullptr) {
            size = needed;
            return error::kSuccess;
        }
        if (size < needed) {
            size = needed;
            return error::kMoreData;
        }
        if (needed > 0) std::memcpy(data, value, needed);
        if (IsText(rawType) && size > needed && (needed == 0 || data[needed - 1] != 0)) data[needed] = 0;
        size = needed;
        return error::kSuccess;
    }

    // RegSetValueExA through the W function: the `size` bytes of a text type
    // are converted as they are (the caller includes the terminators).
    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        if (data == nullptr && size != 0) return error::kInvalidParameter;
        const std::wstring wideName = Wide(name);
        LONG r = ERROR_SUCCESS;
        if (IsText(type)) {
            const std::u16string wide =
                text::ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
            if (wide.size() > std::numeric_limits<DWORD>::max() / 2) return error::kInvalidParameter;
            r = RegSetValueExW(key_, wideName.c_str(), 0, type, reinterpret_cast<const BYTE*>(wide.data()),
                               static_cast<DWORD>(wide.size() * 2));
        } else {
            r = RegSetValueExW(key_, wideName.c_str(), 0, type, data, size);
        }
        return static_cast<platform::Error>(r);
    }

private:
    HKEY key_;
    bool owned_;
};

}  // namespace

platform::Error RegistryService::ConnectLocalMachine(const std::string& machine,
                                                     std::unique_ptr<platform::RegistryKey>& key) {
    key.reset();
    if (machine.empty()) {
        key = std::make_unique<RegistryKey>(HKEY_LOCAL_MACHINE, false);
        return platform::error::kSuccess;
    }
    HKEY connected = nullptr;
    const LONG r = RegConnectRegistryW(Wide(machine).c_str(), HKEY_LOCAL_MACHINE, &connected);
    if (r != ERROR_SUCCESS) return static_cast<platform::Error>(r);
    // Naming this machine gives back the predefined key itself on some systems (Wine does).
    key = std::make_unique<RegistryKey>(connected, connected != HKEY_LOCAL_MACHINE);
    return platform::error::kSuccess;
}

}  // namespace quorvin::win32
