#pragma once
// ExpandEnvironmentStrings over a given environment.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvin::network {

// Variable names compared with MbsICmp; the first of equal names wins.
using Environment = std::vector<std::pair<std::string, std::string>>;

// As ExpandEnvironmentStringsA: every "%NAME%" whose NAME is set is replaced
// by its value; "%NAME%" of a name that is not set stays as it is, and the
// scan goes on after its closing "%"; a "%" without a closing one stays.
std::string ExpandEnvironment(std::string_view text, const Environment& environment);

}  // namespace quorvin::network
