// vivtool: makes show packages and shows what the player makes of a show.
#include <cstdlib>
#include <iostream>

#include "image/image_library.h"
#include "model/object_model_init.h"
#include "tool.h"
#include "viewer/failure_guard.h"

namespace {

int RunTool(int argc, char** argv) {
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
  }
  return state.ExitCode;
}

}  // namespace

int main(int argc, char** argv) {
  // A failure no command caught is reported like the others: its text on
  // standard error, exit status 2. So is output that was lost.
  int status = viv::RunGuarded([&] { return RunTool(argc, argv); },
                               [](const std::string& text) { viv::tool::Fail(text); });
  return viv::tool::FinishOutput(status);
}
