#include "base/byte_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace viv {
namespace {

TEST(ByteReader, IntegersInBothByteOrders) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0xF4};
  EXPECT_EQ(LittleEndian16(bytes), 0x0201u);
  EXPECT_EQ(LittleEndian32(bytes), 0xF4030201u);
  EXPECT_EQ(BigEndian32(bytes), 0x010203F4u);
}

TEST(ByteReader, ReadsStopAtTheEndAndRefusalsStayPut) {
  const std::string bytes("\x00\x00\x01\x00xyz", 7);
  TByteReader reader(bytes);
  uint32_t value = 0;
  ASSERT_TRUE(reader.ReadBigEndian32(value));
  EXPECT_EQ(value, 256u);
  EXPECT_FALSE(reader.ReadBigEndian32(value));  // 3 bytes left
  EXPECT_FALSE(reader.Skip(4));
  EXPECT_EQ(reader.Position(), 4u);
  char out[8] = {};
  EXPECT_EQ(reader.Read(out, sizeof out), 3u);
  EXPECT_EQ(std::string(out), "xyz");
  EXPECT_EQ(reader.Remaining(), 0u);
  EXPECT_EQ(reader.Read(out, 1), 0u);
  EXPECT_TRUE(reader.Skip(0));
}

}  // namespace
}  // namespace viv
