#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "base/crypt_stream.h"
#include "base/inflate_stream.h"
#include "base/partial_stream.h"
#include "base/stream.h"

namespace viv {
namespace {

using namespace std::string_literals;

std::string Pattern(size_t size, unsigned seed = 1) {
  std::string data(size, '\0');
  std::mt19937 random(seed);
  for (auto& c : data) c = static_cast<char>(random());
  return data;
}

template <class Exception>
std::string MessageOf(auto&& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}

class TTempFile {
 public:
  TTempFile() {
    std::string pattern = ::testing::TempDir() + "viv_stream_XXXXXX";
    int fd = ::mkstemp(pattern.data());
    EXPECT_GE(fd, 0);
    ::close(fd);
    fPath = pattern;
  }
  ~TTempFile() { ::unlink(fPath.c_str()); }
  const std::string& Path() const { return fPath; }

 private:
  std::string fPath;
};

// --- memory and file streams

TEST(MemoryStream, ShortReadsSeeksAndGrowth) {
  auto stream = MakeRef<TMemoryStream>(std::string("abcdef"));
  char buffer[8] = {};
  stream->SetPosition(4);
  EXPECT_EQ(stream->Read(buffer, 8), 2u);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  EXPECT_EQ(stream->Read(buffer, 8), 0u);
  // Past the end: nothing to read, but a write fills the gap with zeros.
  stream->SetPosition(8);
  EXPECT_EQ(stream->Read(buffer, 1), 0u);
  stream->WriteText("XY");
  EXPECT_EQ(stream->Data(), "abcdef\0\0XY"s);
  stream->SetSize(3);
  EXPECT_EQ(stream->GetPosition(), 3);
  EXPECT_EQ(stream->Seek(-1, TSeekOrigin::End), 2);
  EXPECT_EQ(MessageOf<EStreamError>([&] { stream->Seek(-3, TSeekOrigin::Current); }),
            "Incorrect Position");
  stream->SetPosition(0);
  EXPECT_EQ(MessageOf<EStreamError>([&] { stream->ReadBuffer(buffer, 4); }), "Stream read error");
}

TEST(MemoryStream, ReadRestAndCopyFromRespectLimits) {
  auto source = MakeRef<TMemoryStream>(std::string("0123456789"));
  source->SetPosition(3);
  EXPECT_EQ(source->ReadRest(7), "3456789");
  source->SetPosition(3);
  EXPECT_EQ(MessageOf<EStreamError>([&] { source->ReadRest(6); }), "Stream too large");

  auto target = MakeRef<TMemoryStream>();
  source->SetPosition(2);
  EXPECT_EQ(target->CopyFrom(*source, 5), 5);
  EXPECT_EQ(target->Data(), "23456");
  EXPECT_EQ(target->CopyFrom(*source), 3);
  EXPECT_EQ(target->Data(), "23456789");
  source->SetPosition(8);
  EXPECT_THROW(target->CopyFrom(*source, 3), EStreamError);
}

TEST(FileStream, OpenRefusesMissingFilesAndFolders) {
  EXPECT_FALSE(TFileStream::Open(::testing::TempDir() + "no/such/file", TFileMode::Read));
  EXPECT_FALSE(TFileStream::Open(::testing::TempDir(), TFileMode::Read));
}

TEST(FileStream, ReadAheadSeesWritesAndTruncation) {
  TTempFile file;
  std::string data = Pattern(100000);
  WriteFileBytes(file.Path(), data);
  auto stream = TFileStream::Open(file.Path(), TFileMode::ReadWrite);
  ASSERT_TRUE(stream);
  char buffer[16];
  // Fill the read-ahead buffer, then change bytes inside it.
  ASSERT_EQ(stream->Read(buffer, 4), 4u);
  stream->SetPosition(100);
  stream->WriteText("XYZ");
  stream->SetPosition(98);
  ASSERT_EQ(stream->Read(buffer, 6), 6u);
  EXPECT_EQ(std::string(buffer, 6), data.substr(98, 2) + "XYZ" + data.substr(103, 1));
  // A read straddling the end of the buffered range.
  stream->SetPosition(65530);
  ASSERT_EQ(stream->Read(buffer, 12), 12u);
  EXPECT_EQ(std::string(buffer, 12), data.substr(65530, 12));
  // Truncation drops what was read ahead.
  stream->SetPosition(10);
  ASSERT_EQ(stream->Read(buffer, 1), 1u);
  stream->SetSize(15);
  stream->SetPosition(10);
  EXPECT_EQ(stream->Read(buffer, 16), 5u);
  EXPECT_EQ(std::string(buffer, 5), data.substr(10, 5));
  EXPECT_EQ(stream->Read(buffer, 16), 0u);
  EXPECT_EQ(stream->GetSize(), 15);
}

// The file stream must behave exactly like a memory stream under any mix of
// seeks, small and large reads, writes and resizes.
TEST(FileStream, MatchesMemoryStreamUnderRandomOperations) {
  TTempFile file;
  std::string initial = Pattern(300000, 7);
  WriteFileBytes(file.Path(), initial);
  auto disk = TFileStream::Open(file.Path(), TFileMode::ReadWrite);
  ASSERT_TRUE(disk);
  auto memory = MakeRef<TMemoryStream>(initial);

  const size_t kReadSizes[] = {1, 3, 100, 4096, 65535, 65536, 65537, 70000, 200000};
  std::mt19937 random(42);
  std::vector<char> a(300000), b(300000);
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE(step);
    int64_t size = memory->GetSize();
    switch (random() % 10) {
      case 0:
      case 1:
      case 2: {
        int64_t to = static_cast<int64_t>(random() % static_cast<uint64_t>(size + 100));
        ASSERT_EQ(disk->Seek(to, TSeekOrigin::Begin), memory->Seek(to, TSeekOrigin::Begin));
        break;
      }
      case 3: {
        int64_t by = static_cast<int64_t>(random() % 200) - 100;
        if (memory->GetPosition() + by < 0) by = 0;
        ASSERT_EQ(disk->Seek(by, TSeekOrigin::Current), memory->Seek(by, TSeekOrigin::Current));
        break;
      }
      case 4:
      case 5:
      case 6:
      case 7: {
        size_t n = kReadSizes[random() % std::size(kReadSizes)];
        size_t got = disk->Read(a.data(), n);
        ASSERT_EQ(got, memory->Read(b.data(), n));
        ASSERT_EQ(std::string(a.data(), got), std::string(b.data(), got));
        break;
      }
      case 8: {
        std::string bytes = Pattern(random() % 2 ? 5 : 70000, step);
        ASSERT_EQ(disk->Write(bytes.data(), bytes.size()),
                  memory->Write(bytes.data(), bytes.size()));
        break;
      }
      case 9: {
        if (random() % 4 != 0) break;  // resizes are rarer
        int64_t to = static_cast<int64_t>(random() % 300000);
        disk->SetSize(to);
        memory->SetSize(to);
        break;
      }
    }
    ASSERT_EQ(disk->GetPosition(), memory->GetPosition());
    ASSERT_EQ(disk->GetSize(), memory->GetSize());
  }
  disk.Reset();
  EXPECT_TRUE(ReadFileBytes(file.Path()) == memory->Data());
}

// Offsets come from show files, so a seek whose target does not fit in 64 bits
// must be refused like any other bad position.
TEST(Streams, SeeksThatOverflowAreRefused) {
  TTempFile file;
  WriteFileBytes(file.Path(), "abcdef");
  std::vector<std::pair<const char*, TRef<TStream>>> streams = {
      {"memory", MakeRef<TMemoryStream>(std::string("abcdef"))},
      {"file", TFileStream::Open(file.Path(), TFileMode::Read)},
      {"partial", MakeRef<TPartialStream>(MakeRef<TMemoryStream>(std::string("abcdef")), 1, 4)},
      {"crypt", MakeRef<TCryptStream>(MakeRef<TMemoryStream>(std::string("abcdef")), "k")},
  };
  for (auto& [name, stream] : streams) {
    SCOPED_TRACE(name);
    stream->SetPosition(2);
    EXPECT_EQ(MessageOf<EStreamError>([&] { stream->Seek(INT64_MAX, TSeekOrigin::End); }),
              "Incorrect Position");
    EXPECT_EQ(MessageOf<EStreamError>([&] { stream->Seek(INT64_MAX, TSeekOrigin::Current); }),
              "Incorrect Position");
    EXPECT_EQ(MessageOf<EStreamError>([&] { stream->Seek(INT64_MIN, TSeekOrigin::Current); }),
              "Incorrect Position");
    EXPECT_EQ(stream->GetPosition(), 2) << "a refused seek moved the stream";
  }
  auto inflater = MakeRef<TInflateStream>(MakeRef<TMemoryStream>(DeflateRaw("abcdef")));
  inflater->Seek(2, TSeekOrigin::Begin);
  EXPECT_THROW(inflater->Seek(INT64_MAX, TSeekOrigin::Current), EStreamError);
  EXPECT_EQ(inflater->GetPosition(), 2);
}

// --- partial stream

TEST(PartialStream, ReadsAndWritesOnlyItsRange) {
  std::string data = Pattern(100);
  auto inner = MakeRef<TMemoryStream>(data);
  auto partial = MakeRef<TPartialStream>(inner, 10, 50);
  EXPECT_EQ(partial->GetSize(), 50);
  EXPECT_EQ(partial->ReadRest(50), data.substr(10, 50));

  partial->SetPosition(45);
  std::string ones(20, '\1');
  EXPECT_EQ(partial->Write(ones.data(), ones.size()), 5u);
  EXPECT_EQ(inner->Data(), data.substr(0, 55) + std::string(5, '\1') + data.substr(60));

  EXPECT_EQ(partial->Seek(0, TSeekOrigin::End), 50);
  EXPECT_EQ(partial->Seek(-50, TSeekOrigin::Current), 0);
  EXPECT_EQ(MessageOf<EStreamError>([&] { partial->Seek(51, TSeekOrigin::Begin); }),
            "Incorrect Position");
  EXPECT_EQ(MessageOf<EStreamError>([&] { partial->Seek(-1, TSeekOrigin::Begin); }),
            "Incorrect Position");
  EXPECT_EQ(MessageOf<EStreamError>([&] { partial->SetSize(10); }), "Stream Cannot be resized");
}

TEST(PartialStream, SharedInnerStreamIsRepositionedForEveryRead) {
  std::string data = Pattern(64);
  auto inner = MakeRef<TMemoryStream>(data);
  auto first = MakeRef<TPartialStream>(inner, 0, 32);
  auto second = MakeRef<TPartialStream>(inner, 32, 32);
  std::string a(8, '\0'), b(8, '\0');
  for (size_t offset = 0; offset < 32; offset += 8) {
    ASSERT_EQ(first->Read(a.data(), 8), 8u);
    inner->SetPosition(3);  // someone else moves the inner stream
    ASSERT_EQ(second->Read(b.data(), 8), 8u);
    EXPECT_EQ(a, data.substr(offset, 8));
    EXPECT_EQ(b, data.substr(32 + offset, 8));
  }
}

TEST(PartialStream, ConstructionRefusesRangesOutsideTheSource) {
  struct TCase {
    int64_t Start, Size;
    bool Fits;
  };
  const TCase kCases[] = {
      {0, 100, true},        {100, 0, true},
      {99, 1, true},         {50, 51, false},
      {101, 0, false},       {-1, 10, false},
      {10, -1, false},       {INT64_MAX, 1, false},
      {1, INT64_MAX, false}, {INT64_MAX, INT64_MAX, false},
  };
  auto inner = MakeRef<TMemoryStream>(std::string(100, 'x'));
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.Start) + "+" + std::to_string(c.Size));
    std::string message =
        MessageOf<EStreamError>([&] { MakeRef<TPartialStream>(inner, c.Start, c.Size); });
    EXPECT_EQ(message, c.Fits ? "(nothing raised)" : "Insufficient Source Size");
  }
}

// Logs each read of the inner stream and each callback, in order.
class TReadLogStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  size_t Read(void* buffer, size_t count) override {
    Log.push_back(count);
    return TMemoryStream::Read(buffer, count);
  }
  std::vector<size_t> Log;  // 0 marks a callback
};

struct TCallbackState {
  TReadLogStream* Inner;
  int Calls = 0;
  int StopAfter = -1;  // answer false on this call
  static bool Proc(void* context) {
    auto* state = static_cast<TCallbackState*>(context);
    state->Inner->Log.push_back(0);
    return ++state->Calls != state->StopAfter;
  }
};

TEST(PartialStream, PieceSizesFollowTheCallback) {
  auto inner = MakeRef<TReadLogStream>(Pattern(200000));
  auto partial = MakeRef<TPartialStream>(inner, 1000, 100000);
  std::string buffer(100000, '\0');

  EXPECT_EQ(partial->Read(buffer.data(), buffer.size()), 100000u);
  EXPECT_EQ(inner->Log, (std::vector<size_t>{32768, 32768, 32768, 1696}));

  struct TCase {
    size_t Requested, Piece;
  };
  for (TCase c : {TCase{1000, 256}, TCase{256, 256}, TCase{100, 100}, TCase{0, 1}}) {
    TCallbackState state{inner.Get()};
    partial->SetReadCallback({&TCallbackState::Proc, &state}, c.Requested);
    EXPECT_EQ(partial->PieceSize(), c.Piece);
  }

  TCallbackState state{inner.Get()};
  partial->SetReadCallback({&TCallbackState::Proc, &state}, 100);
  partial->SetPosition(0);
  inner->Log.clear();
  EXPECT_EQ(partial->Read(buffer.data(), 250), 250u);
  EXPECT_EQ(inner->Log, (std::vector<size_t>{100, 0, 100, 0, 50, 0}));
  EXPECT_EQ(buffer.substr(0, 250), inner->Data().substr(1000, 250));

  // A false answer ends the read after that piece.
  state.Calls = 0;
  state.StopAfter = 2;
  inner->Log.clear();
  EXPECT_EQ(partial->Read(buffer.data(), 1000), 200u);
  EXPECT_EQ(inner->Log, (std::vector<size_t>{100, 0, 100, 0}));
  EXPECT_EQ(partial->GetPosition(), 450);

  // Without a callback the big pieces come back.
  partial->SetReadCallback({}, 100);
  EXPECT_EQ(partial->PieceSize(), TPartialStream::kPieceWithoutCallback);
}

// --- crypt stream

std::string Key32() {
  std::string key(32, '\0');
  for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<char>(i * 37 + 11);
  return key;
}

TEST(CryptStream, KeyFollowsTheInnerPosition) {
  const std::string key = Key32();
  const std::string plain = Pattern(100, 3);
  auto inner = MakeRef<TMemoryStream>();
  auto crypt = MakeRef<TCryptStream>(inner, key);

  std::string caller = plain;
  crypt->WriteBuffer(caller.data(), caller.size());
  EXPECT_EQ(caller, plain) << "Write scrambled the caller's buffer";
  for (size_t i = 0; i < plain.size(); ++i)
    ASSERT_EQ(inner->Data()[i], static_cast<char>(plain[i] ^ key[i % 32])) << i;

  // Reading from offset 40 starts with key byte 8.
  crypt->SetPosition(40);
  EXPECT_EQ(crypt->ReadRest(100), plain.substr(40));
  char zero = 0;
  TCryptStream::Apply(key, 40, &zero, 1);
  EXPECT_EQ(zero, key[8]);

  // A write in the middle uses the key at its own position.
  crypt->SetPosition(70);
  crypt->WriteText("Z");
  EXPECT_EQ(inner->Data()[70], static_cast<char>('Z' ^ key[70 % 32]));
}

// --- inflate

TEST(Inflate, RoundTripsThroughDeflateInAnyPieceSize) {
  std::string data = Pattern(150000, 5);
  for (size_t i = 0; i < data.size(); i += 3) data[i] = 'a';  // partly compressible
  data += std::string(200000, 'z');
  const std::string compressed = DeflateRaw(data);
  ASSERT_LT(compressed.size(), data.size());

  for (size_t piece : {size_t{1}, size_t{777}, size_t{65536}, size_t{400000}}) {
    SCOPED_TRACE(piece);
    auto inflater = MakeRef<TInflateStream>(MakeRef<TMemoryStream>(compressed));
    std::string out, buffer(piece, '\0');
    size_t reads = 0;
    while (size_t n = inflater->Read(buffer.data(), piece)) {
      out.append(buffer, 0, n);
      if (++reads > data.size()) break;
    }
    EXPECT_TRUE(out == data);
    EXPECT_EQ(inflater->GetPosition(), static_cast<int64_t>(data.size()));
  }

  EXPECT_TRUE(InflateToMemory(MakeRef<TMemoryStream>(compressed), 350000)->Data() == data);
  EXPECT_EQ(InflateToMemory(MakeRef<TMemoryStream>(DeflateRaw("")), 0)->Data(), "");
}

TEST(Inflate, ForwardSeeksSkipAndBackwardSeeksFail) {
  std::string data = Pattern(10000, 9);
  auto inflater = MakeRef<TInflateStream>(MakeRef<TMemoryStream>(DeflateRaw(data)));
  EXPECT_EQ(inflater->Seek(5000, TSeekOrigin::Begin), 5000);
  char buffer[10];
  ASSERT_EQ(inflater->Read(buffer, 10), 10u);
  EXPECT_EQ(std::string(buffer, 10), data.substr(5000, 10));
  EXPECT_THROW(inflater->Seek(0, TSeekOrigin::Begin), EStreamError);
  EXPECT_THROW(inflater->GetSize(), EStreamError);
}

TEST(Inflate, DamagedDataRaisesZLibError) {
  const std::string compressed = DeflateRaw(Pattern(50000, 11));
  const std::string kDamaged[] = {
      "\xFF\xFF\xFF\xFF"s,                          // reserved block type
      compressed.substr(0, compressed.size() / 2),  // truncated
      compressed.substr(0, compressed.size() - 1),  // last byte missing
      std::string(),                                // nothing at all
  };
  for (const auto& damaged : kDamaged) {
    SCOPED_TRACE(damaged.size());
    auto inflater = MakeRef<TInflateStream>(MakeRef<TMemoryStream>(damaged));
    EXPECT_THROW(inflater->ReadRest(1 << 20), EZLibError);
    EXPECT_THROW(InflateToMemory(MakeRef<TMemoryStream>(damaged), 1 << 20), EZLibError);
  }
}

TEST(Inflate, OutputLimitIsEnforced) {
  const std::string compressed = DeflateRaw(std::string(1000000, 'a'));
  EXPECT_THROW(InflateToMemory(MakeRef<TMemoryStream>(compressed), 999999), EZLibError);
  EXPECT_EQ(InflateToMemory(MakeRef<TMemoryStream>(compressed), 1000000)->Data().size(), 1000000u);
}

}  // namespace
}  // namespace viv
