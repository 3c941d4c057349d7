#include "rules/row_batch.h"

namespace quorvin::run {

RowHandover RowBatch::Take(std::uint32_t nowMs) {
    lastMs_ = nowMs;
    RowHandover taken = std::move(pending_);
    pending_ = RowHandover{};
    return taken;
}

}  // namespace quorvin::run
