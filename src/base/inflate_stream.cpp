#include "base/inflate_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace viv {
namespace {
constexpr int kRawWindowBits = -15;
constexpr size_t kInputPiece = 1 << 16;
}  // namespace

struct TInflateStream::TState {
  z_stream Z{};
  char Input[kInputPiece];
};

TInflateStream::TInflateStream(TRef<TStream> compressed)
    : fCompressed(std::move(compressed)), fState(std::make_unique<TState>()) {
  if (inflateInit2(&fState->Z, kRawWindowBits) != Z_OK) throw EZLibError("inflateInit2 failed");
}

TInflateStream::~TInflateStream() { inflateEnd(&fState->Z); }

size_t TInflateStream::Read(void* buffer, size_t count) {
  z_stream& z = fState->Z;
  size_t done = 0;
  while (done < count && !fEnded) {
    if (z.avail_in == 0) {
      z.next_in = reinterpret_cast<Bytef*>(fState->Input);
      z.avail_in = static_cast<uInt>(fCompressed->Read(fState->Input, kInputPiece));
    }
    bool inputEmpty = z.avail_in == 0;
    size_t want = std::min<size_t>(count - done, 1u << 30);
    z.next_out = static_cast<Bytef*>(buffer) + done;
    z.avail_out = static_cast<uInt>(want);
    int rc = inflate(&z, Z_NO_FLUSH);
    size_t produced = want - z.avail_out;
    done += produced;
    if (rc == Z_STREAM_END) {
      fEnded = true;
    } else if (rc == Z_BUF_ERROR || (rc == Z_OK && produced == 0 && inputEmpty)) {
      if (inputEmpty) throw EZLibError("unexpected end of compressed data");
    } else if (rc != Z_OK) {
      throw EZLibError(z.msg ? z.msg : "inflate error " + std::to_string(rc));
    }
  }
  fPosition += static_cast<int64_t>(done);
  return done;
}

size_t TInflateStream::Write(const void*, size_t) {
  throw EStreamError("Inflate stream is read-only");
}

int64_t TInflateStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = origin == TSeekOrigin::Begin     ? offset
                   : origin == TSeekOrigin::Current ? SeekTarget(fPosition, offset)
                                                    : -1;
  if (target < fPosition) throw EStreamError("Incorrect Position");
  char scratch[4096];
  while (fPosition < target) {
    size_t n =
        Read(scratch, static_cast<size_t>(std::min<int64_t>(sizeof scratch, target - fPosition)));
    if (n == 0) break;
  }
  return fPosition;
}

int64_t TInflateStream::GetSize() { throw EStreamError("Stream size unknown"); }

TRef<TMemoryStream> InflateToMemory(TRef<TStream> compressed, int64_t limit) {
  auto inflater = MakeRef<TInflateStream>(std::move(compressed));
  std::string data;
  try {
    data = inflater->ReadRest(limit);
  } catch (const EZLibError&) {
    throw;
  } catch (const EStreamError&) {
    throw EZLibError("inflated data too large");
  }
  return MakeRef<TMemoryStream>(std::move(data));
}

std::string DeflateRaw(std::string_view data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, kRawWindowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw EZLibError("deflateInit2 failed");
  std::string out;
  char piece[kInputPiece];
  size_t offset = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && offset < data.size()) {
      size_t n = std::min<size_t>(data.size() - offset, 1u << 30);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + offset));
      z.avail_in = static_cast<uInt>(n);
      offset += n;
    }
    z.next_out = reinterpret_cast<Bytef*>(piece);
    z.avail_out = sizeof piece;
    rc = deflate(&z, offset == data.size() ? Z_FINISH : Z_NO_FLUSH);
    if (rc == Z_STREAM_ERROR) break;
    out.append(piece, sizeof piece - z.avail_out);
  }
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw EZLibError("deflate failed");
  return out;
}

}  // namespace viv
