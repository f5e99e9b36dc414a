// Plugs the picture and colour library into the rest of the player.
#pragma once

namespace viv {

// Registers the picture loaders in their order, installs the picture services
// of the file accessor, the colour-management chain and the hook that reads a
// show's colour setting when it opens. Once per process; later calls do
// nothing.
void InstallImageLibrary();

}  // namespace viv
