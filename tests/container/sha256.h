// SHA-256 for checking unpacked bytes against recorded digests.
#pragma once

#include <string>
#include <string_view>

namespace viv::test {

// Lower-case hexadecimal digest.
std::string Sha256Hex(std::string_view data);

}  // namespace viv::test
