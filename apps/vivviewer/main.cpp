// vivviewer: plays a slide show.
#include <string>
#include <vector>

#include "viewer/startup.h"

int main(int argc, char** argv) {
  std::vector<std::string> tokens(argv, argv + argc);
  return viv::RunPlayer(tokens);
}
