#pragma once
// The engine's options of a run, taken from the settings record.

#include "engine/run_options.h"
#include "rules/settings.h"

namespace quorvin::run {

engine::RunOptions RunOptionsFrom(const app::AppSettings& settings);

}  // namespace quorvin::run
