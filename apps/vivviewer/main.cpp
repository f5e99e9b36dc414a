// vivviewer: plays a slide show.
#include <string>
#include <vector>

#include "viewer/failure_guard.h"
#include "viewer/message_box.h"
#include "viewer/startup.h"

int main(int argc, char** argv) {
  return viv::RunGuarded(
      [&] { return viv::RunPlayer(std::vector<std::string>(argv, argv + argc)); },
      [](const std::string& text) { viv::ShowMessageBox(viv::kErrorTitle, text); });
}
