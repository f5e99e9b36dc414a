// The last line of defence of the programs' main functions: no exception ends
// a program unreported.
#pragma once

#include <functional>
#include <string>

namespace viv {

// Runs body and returns its exit status. Whatever escapes it, a
// std::exception or anything else, is handed to report as a text (its
// message, or "Unknown exception") and the status becomes 2.
int RunGuarded(const std::function<int()>& body,
               const std::function<void(const std::string&)>& report);

}  // namespace viv
