// The abstract 3D device: an engine that knows the displays and makes
// renderers, one renderer per draw target, and the resources a renderer
// makes (surfaces, 2D and volume textures, vertex lists, shaders). Only
// src/render/gl/ implements it; the drawer, the textures, the transitions and
// the objects see nothing but these classes and T3DScreen.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ref_object.h"
#include "image/bitmap.h"

namespace viv {

class TDrawTarget;

// Pixel rectangles: left, top, right, bottom; empty when left >= right or top >= bottom.
struct TPixelRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Left >= Right || Top >= Bottom; }
  friend bool operator==(const TPixelRect&, const TPixelRect&) = default;
};
// The overlap of two rectangles (empty when they do not meet).
TPixelRect Intersect(const TPixelRect& a, const TPixelRect& b);

struct TPixelSize {
  int32_t Width = 0, Height = 0;
  friend bool operator==(const TPixelSize&, const TPixelSize&) = default;
};

// Surface formats, each as its pixels lie in memory (little-endian words):
// Argb32 and Xrgb32 blue, green, red, alpha (ignored for X); Rgb24 blue,
// green, red; X1r5g5b5 and R5g6b5 16-bit words with blue in the low bits; L8
// one luminance byte; P8 one palette index.
enum class TSurfaceFormat : uint8_t { Argb32, Xrgb32, Rgb24, X1r5g5b5, R5g6b5, L8, P8 };
int SurfaceBytesPerPixel(TSurfaceFormat format);

// The locked pixels of a surface rectangle, rows of the surface's own format,
// top row first. Valid until Unlock.
struct TSurfaceLock {
  uint8_t* Bits = nullptr;
  size_t Pitch = 0;
  TPixelRect Rect;
  TSurfaceFormat Format = TSurfaceFormat::Argb32;
  bool ReadOnly = true;

  bool IsValid() const { return Bits != nullptr; }
  uint8_t* Row(int32_t y) const { return Bits + static_cast<size_t>(y) * Pitch; }
};

// A surface: a level of a texture, a render target or the back buffer.
class T3DSurface : public TRefObject {
 public:
  // Reads the whole surface into sink, a 32-bit ARGB bitmap of the surface's
  // size (a render target is read back from the device first).
  virtual bool CopyTo(TBitmap& sink) = 0;
  virtual TPixelSize GetSize() const = 0;
  virtual TSurfaceFormat GetPixelFormat() const = 0;
  // The pixels of rect (all of the surface when rect is empty). A lock that
  // is not read-only writes its rows back on Unlock; a read-only one does not.
  virtual TSurfaceLock Lock(const TPixelRect& rect, bool readOnly) = 0;
  virtual bool Unlock(TSurfaceLock& lock) = 0;
};

enum class TAddressing : uint8_t { Wrap, Clamp, Mirror };

class TBaseTexture : public TRefObject {
 public:
  virtual bool IsVolume() const = 0;
};

// Texture kinds of CreateTexture: 0 a plain managed texture, 3 and 4 other
// plain kinds, every other kind a render target.
inline constexpr int32_t kManagedTexture = 0;
inline constexpr int32_t kRenderTargetTexture = 1;
bool IsRenderTargetKind(int32_t kind);

// A 2D texture. The sampling settings are only stored here; DrawVertexList
// applies them when the texture is drawn.
class T3DTexture : public TBaseTexture {
 public:
  T3DTexture(TPixelSize size, int32_t levels, int32_t kind, TSurfaceFormat format)
      : fSize(size), fLevels(levels), fKind(kind), fFormat(format) {}

  bool IsVolume() const override { return false; }
  TPixelSize Size() const { return fSize; }
  int32_t Kind() const { return fKind; }
  TSurfaceFormat Format() const { return fFormat; }
  bool IsRenderTarget() const { return IsRenderTargetKind(fKind); }

  virtual int32_t GetLevelCount() const { return fLevels; }
  // Made once per level and kept.
  virtual TRef<T3DSurface> GetLevel(int32_t index) = 0;
  virtual void GenerateMipLevels() = 0;

  void SetAddressing(TAddressing u, TAddressing v) { fAddressU = u, fAddressV = v; }
  std::array<TAddressing, 2> GetAddressing() const { return {fAddressU, fAddressV}; }
  void SetFiltering(bool linear) { fLinear = linear; }
  bool GetFiltering() const { return fLinear; }
  void SetMipFiltering(bool enabled) { fMipFiltering = enabled; }
  bool MipFiltering() const { return fMipFiltering; }
  void SetLodBias(float bias) { fLodBias = bias; }
  float LodBias() const { return fLodBias; }

 protected:
  const TPixelSize fSize;
  const int32_t fLevels;  // the full chain's length when made with 0
  const int32_t fKind;
  const TSurfaceFormat fFormat;
  TAddressing fAddressU = TAddressing::Clamp, fAddressV = TAddressing::Clamp;
  bool fLinear = true;
  bool fMipFiltering = true;
  float fLodBias = 0;
};

// The length of a full mip chain for a size.
int32_t FullMipChainLength(TPixelSize size);

// A 32-bit ARGB volume texture of one level.
class TVolumeTexture : public TBaseTexture {
 public:
  TVolumeTexture(int32_t width, int32_t height, int32_t depth)
      : fWidth(width), fHeight(height), fDepth(depth) {}
  bool IsVolume() const override { return true; }
  int32_t Width() const { return fWidth; }
  int32_t Height() const { return fHeight; }
  int32_t Depth() const { return fDepth; }

  virtual int32_t GetLevelCount() const { return 1; }
  // The whole level: its rows run through all slices, slice after slice
  // (height x depth rows of width pixels).
  virtual TSurfaceLock LockLevel(int32_t level) = 0;
  virtual bool UnlockLevel(int32_t level, TSurfaceLock& lock) = 0;

 protected:
  const int32_t fWidth, fHeight, fDepth;
};

// What a vertex holds besides its position (x, y, z): bits of these, then
// textureCount coordinate pairs.
enum TVertexComponent : uint32_t {
  kVertexDiffuse = 1,   // 32-bit ARGB colour
  kVertexSpecular = 2,  // 32-bit ARGB colour
  kVertexNormal = 4,    // three floats
};
enum class TPrimitive : uint8_t { TriangleList, TriangleStrip, TriangleFan };

struct TVertexFormat {
  uint32_t Components = kVertexDiffuse;
  int32_t TextureCount = 0;
  TPrimitive Primitive = TPrimitive::TriangleList;

  // Bytes per vertex: position, diffuse, specular, normal, coordinate pairs.
  size_t Stride() const;
  size_t DiffuseOffset() const { return 12; }
  size_t SpecularOffset() const;
  size_t NormalOffset() const;
  size_t TextureOffset(int32_t index) const;
};

inline constexpr int32_t kMaxTextureStages = 7;
inline constexpr int32_t kShaderConstants = 32;  // float4 registers of each kind

class T3DVertexList : public TRefObject {
 public:
  T3DVertexList(int32_t capacity, TVertexFormat format) : fCapacity(capacity), fFormat(format) {}
  int32_t Capacity() const { return fCapacity; }
  const TVertexFormat& Format() const { return fFormat; }
  // The vertices written so far (one past the highest written).
  int32_t VertexCount() const { return fVertexCount; }

  virtual void SetFormat(TVertexFormat format) { fFormat = format; }
  // Writes count vertices of the list's format (Stride() bytes each) from first on.
  virtual bool Write(int32_t first, const void* vertices, int32_t count) = 0;

 protected:
  int32_t fCapacity;
  TVertexFormat fFormat;
  int32_t fVertexCount = 0;
};

enum class TShaderKind : uint8_t { Vertex, Pixel };

// A vertex or pixel shader. The code is GLSL 330. A pixel shader reads the
// colour "vColour" and the coordinates "vTex[7]", samples "s0" to "s6" (2D
// or 3D samplers on the stages of those numbers), reads its constants from
// "c[32]" and writes "fragColour". A vertex shader reads the attributes at
// locations 0 (position), 1 (diffuse) and 4 to 10 (coordinate pairs), its
// constants from "vc[32]", and writes "vColour" and "vTex".
class T3DShader : public TRefObject {
 public:
  explicit T3DShader(TShaderKind kind) : fKind(kind) {}
  TShaderKind Kind() const { return fKind; }

 private:
  TShaderKind fKind;
};

// Blend modes of DrawVertexList, as the batcher chooses them.
enum class TBlendMode : uint8_t {
  Untextured = 0,
  Opaque = 1,         // one texture without alpha
  Alpha = 5,          // one texture with alpha, or a colour with alpha below 255
  Premultiplied = 7,  // colours already multiplied by their alpha
  Maximum = 8,        // the larger of source and destination
};

enum class TTransformKind : uint8_t { World = 0, View = 1, Projection = 2 };
// Row-major 4 x 4, applied to row vectors: v' = v x M.
using TMatrix4 = std::array<float, 16>;
TMatrix4 IdentityMatrix();
TMatrix4 Multiply(const TMatrix4& a, const TMatrix4& b);
// Screen coordinates of a target (pixels, y down, pixel centres on whole
// numbers, as the renderer's pixel centre of (0.5, 0.5) says) to clip space.
TMatrix4 ScreenProjection(TPixelSize size);

// Clear flags: bit 0 the colour, bit 1 the stencil.
inline constexpr uint32_t kClearColour = 1;
inline constexpr uint32_t kClearStencil = 2;

enum class TRendererState : uint8_t { Creating, Ready, Lost, Released };

// The renderer of one draw target. Every operation reports failure as false
// and remembers the last device result; on a renderer whose device has gone
// each returns false and the state is Lost. The process-wide device mutex
// (DeviceMutex) is held by every operation.
class T3DRenderer : public TRefObject {
 public:
  virtual TRendererState State() const = 0;
  // The last device result (0 for none).
  virtual int64_t LastResult() const = 0;

  virtual void UpdateBounds() = 0;
  virtual bool BeginFrame() = 0;
  virtual bool EndFrame() = 0;
  // Shows the frame, paced to the display's refresh; an empty list shows all of it.
  virtual bool Present(const std::vector<TPixelRect>& sourceRects,
                       const std::vector<TPixelRect>& targetRects) = 0;
  virtual bool Clear(const std::vector<TPixelRect>& rects, uint32_t flags, uint32_t colour,
                     float depth) = 0;
  virtual bool PrimeDraw() = 0;
  virtual bool SetTarget(T3DSurface* surface) = 0;
  virtual TRef<T3DSurface> GetTarget() = 0;
  virtual bool GetBackBuffer(TRef<T3DSurface>& surface) = 0;
  virtual bool SetViewport(const TPixelRect& rect, float minZ, float maxZ) = 0;
  virtual bool DrawVertexList(T3DVertexList& list, TBaseTexture* const* textures, int32_t count,
                              TBlendMode mode) = 0;
  virtual bool BindTexture(int32_t stage, TBaseTexture* texture) = 0;
  virtual TRef<T3DTexture> CreateTexture(int32_t width, int32_t height, int32_t levels,
                                         int32_t kind, TSurfaceFormat format) = 0;
  virtual TRef<TVolumeTexture> CreateVolumeTexture(int32_t width, int32_t height,
                                                   int32_t depth) = 0;
  virtual TRef<T3DVertexList> CreateVertexList(int32_t capacity, TVertexFormat format) = 0;
  virtual bool StretchCopy(T3DSurface& source, const TPixelRect& sourceRect, T3DSurface& target,
                           const TPixelRect& targetRect, bool linear) = 0;
  virtual bool SetPresentFlag(bool wholeFrames) = 0;
  virtual bool SetTransform(TTransformKind kind, const TMatrix4& matrix) = 0;
  virtual bool SetCulling(bool enabled) = 0;
  virtual std::array<float, 2> GetPixelCentre() const = 0;
  virtual TRef<T3DShader> CreateShader(const std::string& code, TShaderKind kind) = 0;
  virtual bool UseShader(T3DShader* shader) = 0;
  virtual bool SetShaderConstants(int32_t start, const float* values, int32_t count,
                                  bool vertex) = 0;

  // Drops every device object as a lost device would (debug option and
  // tests): from then on the renderer is Lost.
  virtual void SimulateDeviceLoss() = 0;
};

struct TDisplayMode {
  TPixelRect Bounds;
  int32_t RefreshRate = 60;  // Hz
  TSurfaceFormat Format = TSurfaceFormat::Xrgb32;
};

// Capability bits of "raster".
inline constexpr int32_t kRasterMipMapLodBias = 0x00002000;
inline constexpr int32_t kRasterAnisotropy = 0x00020000;
// Pixel shader versions as "pixelshaderversion" gives them.
constexpr int32_t PixelShaderVersion(int32_t major, int32_t minor) {
  return static_cast<int32_t>(0xFFFF0000u | static_cast<uint32_t>(major << 8 | minor));
}
inline constexpr int32_t kIntelVendor = 0x8086;

// 0 below pixel shader 2.0, 2 from 3.0 on or for any vendor but Intel, else 1.
int QualityTierFor(int32_t pixelShaderVersion, int32_t vendor);

// One per program.
class T3DEngine : public TRefObject {
 public:
  // The graphics card whose monitor overlaps the rectangle most; 0 when none does.
  virtual int32_t CardForRect(const TPixelRect& rect) = 0;
  // "pixelshaderversion", "maxtexwidth", "maxtexheight", "maxanisotropy",
  // "raster", "vendor" (compared in lower case); 0 for other names.
  virtual int32_t GetCapInt(std::string_view name, int32_t card) = 0;
  // "vendor": the card's description; other names give empty text.
  virtual std::string GetCapText(std::string_view name, int32_t card) = 0;
  virtual bool GetDisplayMode(int32_t card, TDisplayMode& mode) = 0;
  virtual TRef<T3DRenderer> CreateRenderer(TDrawTarget& target, const TPixelRect& rect) = 0;
  virtual bool CheckDevice() = 0;

  int QualityTier(int32_t card);
};

}  // namespace viv
