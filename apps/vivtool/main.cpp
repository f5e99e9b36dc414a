// vivtool: makes show packages and shows what the player makes of a show.
#include <cstdlib>
#include <iostream>

#include "image/image_library.h"
#include "model/object_model_init.h"
#include "tool.h"

int main(int argc, char** argv) {
  // Show loading reports its message boxes on standard error here.
  setenv("VIV_MESSAGE_BOX", "stderr", 1);
  viv::InstallImageLibrary();

  viv::InitObjectModel();

  CLI::App app{"vivtool: the show author's and maintainer's companion to the player"};
  app.require_subcommand(1);
  viv::tool::TToolState state;
  viv::tool::AddPackageCommands(app, state);
  viv::tool::AddProjectCommands(app, state);
  viv::tool::AddShowCommands(app, state);
  viv::tool::AddExpressionCommands(app, state);
  viv::tool::AddImageCommands(app, state);
  viv::tool::AddModelCommands(app, state);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : viv::tool::kExitFailure;
  } catch (const std::exception& e) {
    return viv::tool::Fail(e.what());
  }
  return state.ExitCode;
}
