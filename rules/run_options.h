#pragma once
// The engine's options of a run, taken from the settings record.

#include "engine/run_options.h"
#include "rules/settings.h"

namespace quorvin::run {

// The job and account fields of `settings`, as the engine reads them.
inline engine::RunOptions RunOptionsFrom(const app::AppSettings& settings) { return settings; }

}  // namespace quorvin::run
