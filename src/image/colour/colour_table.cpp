#include "image/colour/colour_table.h"

namespace viv {
namespace {

int Clamp255(double v) {
  int n = static_cast<int>(v);  // truncates toward zero
  return n < 0 ? 0 : n > 255 ? 255 : n;
}

// One axis of the interpolation: the mix of a (at the cell) and b (at cell + 1).
int Mix(int a, int b, uint32_t fraction) {
  if (fraction == 0) return a;
  if (fraction == 0xFFFF) return b;
  return a + (static_cast<int>(fraction) * (b - a) + 32767) / 65536;
}

struct TGridPosition {
  int Cell;
  uint32_t Fraction;
};

// v x 31 / 255 in 16.16 fixed point, to within 2 / 65536.
TGridPosition GridPosition(uint8_t v) {
  uint32_t q = v * 7967u;
  uint32_t cell = q >> 16;
  return {static_cast<int>(cell), (q & 0xFFFF) + cell};
}

}  // namespace

TRef<TBitmap> MakeIdentityTable(TPixelFormat format) {
  auto table = MakeRef<TBitmap>(kTableWidth, kTableHeight, format);
  int bpp = BytesPerPixel(format);
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      uint8_t* row = table->Row(i * kGridSize + j);
      for (int k = 0; k < kGridSize; ++k) {
        uint8_t* p = row + k * bpp;
        p[0] = static_cast<uint8_t>(GridLevel(i));
        p[1] = static_cast<uint8_t>(GridLevel(j));
        p[2] = static_cast<uint8_t>(GridLevel(k));
        if (bpp == 4) p[3] = 0xFF;
      }
    }
  }
  return table;
}

TRef<TBitmap> MakeYuvTable() {
  auto table = MakeRef<TBitmap>(kTableWidth, kTableHeight, TPixelFormat::Argb32);
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      uint8_t* row = table->Row(i * kGridSize + j);
      for (int k = 0; k < kGridSize; ++k) {
        double y = GridLevel(i), u = GridLevel(j) - 128.0, v = GridLevel(k) - 128.0;
        double d = 1.1643835616438356 * (y - 16);
        uint8_t* p = row + k * 4;
        p[0] = static_cast<uint8_t>(Clamp255(d + 2.018 * u));
        p[1] = static_cast<uint8_t>(Clamp255(d - 0.813 * v - 0.391 * u));
        p[2] = static_cast<uint8_t>(Clamp255(d + 1.596 * v));
        p[3] = 0xFF;
      }
    }
  }
  return table;
}

uint32_t InterpolateTable(const TBitmap& table, uint32_t colour) {
  int bpp = BytesPerPixel(table.Format());
  TGridPosition pi = GridPosition(colour & 0xFF), pj = GridPosition((colour >> 8) & 0xFF),
                pk = GridPosition((colour >> 16) & 0xFF);
  auto node = [&](int i, int j, int k, int byte) {
    return int{table.Row(i * kGridSize + j)[k * bpp + byte]};
  };
  // The next node along an axis is only read when its fraction needs it, so
  // the last cell never reads past the grid.
  auto along = [](TGridPosition p, auto value) {
    int a = value(p.Cell);
    return p.Fraction == 0 ? a : Mix(a, value(p.Cell + 1), p.Fraction);
  };
  uint32_t result = colour & 0xFF000000u;
  for (int byte = 0; byte < 3; ++byte) {
    int v = along(pi, [&](int i) {
      return along(pj,
                   [&](int j) { return along(pk, [&](int k) { return node(i, j, k, byte); }); });
    });
    result |= static_cast<uint32_t>(v) << (8 * byte);
  }
  return result;
}

}  // namespace viv
