// Services that fail part way through a run ([faults] of computer.ini): an
// event log whose read breaks after some records, a registry connection
// that drops after some calls, message file shares that go away.

#include "services/simulated/network_state.h"

#include "core/bytes.h"

namespace quorvin::network {

namespace {

class FailingLog final : public platform::EventLog {
public:
    FailingLog(std::unique_ptr<platform::EventLog> inner, ServiceFault fault)
        : inner_(std::move(inner)), fault_(fault) {}

    // Hands on whole records until `after` have gone out; the read that
    // would go past gives only those before, every later read the error.
    platform::Error Read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& bytesRead,
                         std::uint32_t& bytesNeeded) override {
        bytesRead = 0;
        bytesNeeded = 0;
        if (given_ >= fault_.after) return fault_.error;
        const platform::Error e = inner_->Read(buffer, size, bytesRead, bytesNeeded);
        if (e != error::kSuccess) return e;
        std::uint32_t offset = 0;
        while (offset < bytesRead && given_ < fault_.after) {
            const std::uint32_t length = bytes::U32At(buffer, bytesRead, offset);
            if (length == 0 || length > bytesRead - offset) break;
            offset += length;
            ++given_;
        }
        bytesRead = offset;
        return bytesRead == 0 ? fault_.error : error::kSuccess;
    }

private:
    std::unique_ptr<platform::EventLog> inner_;
    ServiceFault fault_;
    std::uint32_t given_ = 0;
};

// The calls made through one registry connection, shared by its keys.
struct CallCount {
    ServiceFault fault;
    std::mutex mutex;
    std::uint32_t calls = 0;

    // 0 while the connection holds, the fault's error once it has dropped.
    platform::Error Next() {
        std::lock_guard<std::mutex> lock(mutex);
        if (calls >= fault.after) return fault.error;
        ++calls;
        return error::kSuccess;
    }
};

class FailingKey final : public platform::RegistryKey {
public:
    FailingKey(std::unique_ptr<platform::RegistryKey> inner, std::shared_ptr<CallCount> count)
        : inner_(std::move(inner)), count_(std::move(count)) {}

    platform::Error OpenKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        key.reset();
        if (const platform::Error e = count_->Next()) return e;
        return Wrap(inner_->OpenKey(subKey, key), key);
    }
    platform::Error OpenKeyToQuery(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        key.reset();
        if (const platform::Error e = count_->Next()) return e;
        return Wrap(inner_->OpenKeyToQuery(subKey, key), key);
    }
    platform::Error CreateKey(const std::string& subKey, std::unique_ptr<platform::RegistryKey>& key) override {
        key.reset();
        if (const platform::Error e = count_->Next()) return e;
        return Wrap(inner_->CreateKey(subKey, key), key);
    }
    platform::Error QueryValue(const std::string& name, std::uint32_t& type, std::uint8_t* data,
                               std::uint32_t& size) override {
        if (const platform::Error e = count_->Next()) return e;
        return inner_->QueryValue(name, type, data, size);
    }
    platform::Error SetValue(const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override {
        if (const platform::Error e = count_->Next()) return e;
        return inner_->SetValue(name, type, data, size);
    }

private:
    platform::Error Wrap(platform::Error e, std::unique_ptr<platform::RegistryKey>& key) {
        if (e == error::kSuccess && key) key = std::make_unique<FailingKey>(std::move(key), count_);
        return e;
    }

    std::unique_ptr<platform::RegistryKey> inner_;
    std::shared_ptr<CallCount> count_;
};

}  // namespace

std::unique_ptr<platform::EventLog> FailingAfter(std::unique_ptr<platform::EventLog> log, ServiceFault fault) {
    if (!fault.Set()) return log;
    return std::make_unique<FailingLog>(std::move(log), fault);
}

std::unique_ptr<platform::RegistryKey> FailingAfter(std::unique_ptr<platform::RegistryKey> key, ServiceFault fault) {
    if (!fault.Set() || !key) return key;
    auto count = std::make_shared<CallCount>();
    count->fault = fault;
    return std::make_unique<FailingKey>(std::move(key), std::move(count));
}

platform::Error SimulatedNetwork::State::ShareLoad(int index) {
    const ServiceFault fault = config.computers[static_cast<std::size_t>(index)].faults.shares;
    if (!fault.Set()) return error::kSuccess;
    std::lock_guard<std::mutex> lock(mutex);
    std::uint32_t& loads = shareLoads[static_cast<std::size_t>(index)];
    if (loads >= fault.after) {
        loads = fault.after + 1;  // the share is gone: reads of files opened before fail too
        return fault.error;
    }
    ++loads;
    return error::kSuccess;
}

platform::Error SimulatedNetwork::State::ShareGone(int index) {
    const ServiceFault fault = config.computers[static_cast<std::size_t>(index)].faults.shares;
    if (!fault.Set()) return error::kSuccess;
    std::lock_guard<std::mutex> lock(mutex);
    return shareLoads[static_cast<std::size_t>(index)] > fault.after ? fault.error : error::kSuccess;
}

}  // namespace quorvin::network
