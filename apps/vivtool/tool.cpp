#include "tool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace viv::tool {
namespace {

// The reason of the first lost write to standard output, 0 while none was.
int gOutputError = 0;

void NoteOutputError(int error) {
  if (gOutputError == 0) gOutputError = error != 0 ? error : EIO;
}

}  // namespace

void PrintJson(const TJson& json) {
  std::string text = json.dump(2) + "\n";
  WriteOutput(text.data(), text.size());
}

size_t WriteOutput(const void* bytes, size_t count) {
  // The stream forgets why a write failed once it drops its buffer, so the
  // reason is taken here.
  errno = 0;
  size_t written = std::fwrite(bytes, 1, count, stdout);
  if (written != count) NoteOutputError(errno);
  return written;
}

void FlushOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0) NoteOutputError(errno);
}

int FinishOutput(int exitCode) {
  // Standard output first: the C++ stream's flush would take the reason.
  FlushOutput();
  if (!std::cout.flush() || std::ferror(stdout)) NoteOutputError(0);
  if (gOutputError == 0) return exitCode;
  return Fail(std::string("cannot write the output: ") + std::strerror(gOutputError));
}

int Fail(const std::string& text) {
  std::cerr << text << std::endl;
  return kExitFailure;
}

std::string ColourText(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", colour);
  return text;
}

}  // namespace viv::tool
