// Start-up of the object model: checks its tables and installs its own
// picture producers. Safe to call more than once.
#pragma once

namespace viv {

void InitObjectModel();

}  // namespace viv
