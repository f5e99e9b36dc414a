// Runs the show tool as a separate program and collects what it printed.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/stream.h"
#include "support/scratch_folder.h"

extern char** environ;

namespace viv::test {

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

// Runs program with args; standard output and error go through files in the
// scratch folder, or standard output to outputFile when one is named.
inline TRun RunProgram(const std::string& program, std::vector<std::string> args,
                       const std::string& scratchFolder, const std::string& outputFile = {}) {
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string outPath = scratchFolder + "/.out", errPath = scratchFolder + "/.err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1,
                                   outputFile.empty() ? outPath.c_str() : outputFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid;
  TRun run;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  if (outputFile.empty()) run.Out = ReadFileBytes(outPath);
  run.Err = ReadFileBytes(errPath);
  return run;
}

inline TRun RunTool(std::vector<std::string> args, const std::string& scratchFolder,
                    const std::string& outputFile = {}) {
  return RunProgram(VIV_TOOL, std::move(args), scratchFolder, outputFile);
}

// A scratch folder per test, which is also the temporary folder the tool
// extracts into; its messages go to standard error.
class TToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VIV_MESSAGE_BOX", "stderr", 1);
    setenv("TMPDIR", fFolder.Path().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", fFolder.Path().c_str(), 1);
  }

  std::string P(const std::string& name) const { return fFolder.Path() + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) { fFolder.Write(name, bytes); }
  TRun Run(std::vector<std::string> args, const std::string& outputFile = {}) const {
    return RunTool(std::move(args), fFolder.Path(), outputFile);
  }

  TScratchFolder fFolder;
};

}  // namespace viv::test
