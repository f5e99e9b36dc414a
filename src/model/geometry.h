// Points, vectors, 3 x 3 matrices and placement frames of slide objects.
#pragma once

#include <cmath>

namespace viv {

struct TPointF {
  float X = 0, Y = 0;
};

struct TSizeF {
  float Width = 0, Height = 0;
  friend bool operator==(const TSizeF&, const TSizeF&) = default;
};

// Picture areas: left, top, right, bottom; empty when left >= right or top >= bottom.
struct TRectF {
  float Left = 0, Top = 0, Right = 0, Bottom = 0;
  float Width() const { return Right - Left; }
  float Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Left >= Right || Top >= Bottom; }
  friend bool operator==(const TRectF&, const TRectF&) = default;
};

struct TVec3 {
  float X = 0, Y = 0, Z = 0;
  TVec3 operator+(const TVec3& o) const { return {X + o.X, Y + o.Y, Z + o.Z}; }
  TVec3 operator-(const TVec3& o) const { return {X - o.X, Y - o.Y, Z - o.Z}; }
  TVec3 operator*(float k) const { return {X * k, Y * k, Z * k}; }
  float Length() const { return std::sqrt(X * X + Y * Y + Z * Z); }
  friend bool operator==(const TVec3&, const TVec3&) = default;
};

inline float Dot(const TVec3& a, const TVec3& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
inline TVec3 Cross(const TVec3& a, const TVec3& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

// Row-major, applied to row vectors: v' = v × M; composed as local × parent.
struct TMat3 {
  float M[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  TVec3 Row(int i) const { return {M[i][0], M[i][1], M[i][2]}; }
  TMat3 operator*(const TMat3& o) const {
    TMat3 r;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        r.M[i][j] = M[i][0] * o.M[0][j] + M[i][1] * o.M[1][j] + M[i][2] * o.M[2][j];
    return r;
  }
};

// Frames whose axes have a determinant this small are degenerate.
inline constexpr double kMinFrameDeterminant = 2.94e-39;

// An origin and three axis vectors: frame point (x, y, z) is
// origin + x·X + y·Y + z·Z.
struct TPlacementFrame {
  TVec3 Origin;
  TVec3 AxisX{1, 0, 0}, AxisY{0, 1, 0}, AxisZ{0, 0, 1};
  float InverseDeterminant = 1;
  bool Valid = true;

  TVec3 Point(float x, float y, float z = 0) const {
    return Origin + AxisX * x + AxisY * y + AxisZ * z;
  }
  // Computes the determinant; valid when its magnitude is usable.
  void UpdateDeterminant() {
    double det = Dot(AxisX, Cross(AxisY, AxisZ));
    Valid = std::fabs(det) > kMinFrameDeterminant;
    InverseDeterminant = Valid ? static_cast<float>(1.0 / det) : 0.0f;
  }
};

// Projects a world point to the screen plane z = 0 along the line from the camera.
inline TPointF ProjectToScreen(const TVec3& p, const TVec3& camera) {
  constexpr float kMinDenominator = 0.000001f;
  float denominator = p.Z - camera.Z;
  if (std::fabs(denominator) < kMinDenominator)
    denominator = denominator < 0 ? -kMinDenominator : kMinDenominator;
  return {camera.X + camera.Z * (camera.X - p.X) / denominator,
          camera.Y + camera.Z * (camera.Y - p.Y) / denominator};
}

// The plane through origin, origin + X and origin + Y evaluated at the camera:
// negative when the front side faces it.
inline float SideFacing(const TPlacementFrame& frame, const TVec3& camera) {
  TVec3 p0 = frame.Origin, p1 = frame.Origin + frame.AxisX, p2 = frame.Origin + frame.AxisY;
  double x0 = p0.X, y0 = p0.Y, z0 = p0.Z, x1 = p1.X, y1 = p1.Y, z1 = p1.Z, x2 = p2.X, y2 = p2.Y,
         z2 = p2.Z;
  double a = (z1 - z2) * y0 + (z2 - z0) * y1 + (z0 - z1) * y2;
  double b = z0 * (x1 - x2) + z1 * (x2 - x0) + z2 * (x0 - x1);
  double c = x0 * (y1 - y2) + x1 * (y2 - y0) + x2 * (y0 - y1);
  double d = -x0 * (y1 * z2 - z1 * y2) - x1 * (z0 * y2 - z2 * y0) - x2 * (z1 * y0 - z0 * y1);
  return static_cast<float>(a * camera.X + b * camera.Y + c * camera.Z + d);
}

}  // namespace viv
