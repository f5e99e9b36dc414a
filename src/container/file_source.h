// File sources: where a show's files come from, by the name the project uses.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/ref_object.h"
#include "base/stream.h"
#include "container/picture_store.h"
#include "container/viv_unpack.h"

namespace viv {

class TFileSource;
class TIniSection;

// Supplies generated pictures (texts, buttons) by name, or none.
using TPictureProviderProc = TRef<TPictureStore> (*)(std::string_view name, void* context);

// A registered picture provider; releasing the handle removes it from its source.
class TCallbackHandle : public TRefObject {
 public:
  TCallbackHandle(TFileSource& source, TPictureProviderProc proc, void* context);
  TPictureProviderProc Proc() const { return fProc; }
  void* Context() const { return fContext; }

 protected:
  void Cleanup() override;

 private:
  TRef<TFileSource> fSource;
  TPictureProviderProc fProc;
  void* fContext;
};

// Reports the EXIF orientation code (1, 3, 6, 8) of a picture name.
using TOrientationHook = std::function<int(std::string_view name)>;

class TFileSource : public TRefObject {
 public:
  TFileSource();

  uint64_t SourceNumber() const { return fSourceNumber; }
  // Serialised per source; none when the name cannot be opened.
  TRef<TStream> Open(std::string_view name);

  TRef<TCallbackHandle> RegisterPictureProvider(TPictureProviderProc proc, void* context);
  // Asks the providers in registration order.
  TRef<TPictureStore> ProvidePicture(std::string_view name);

  void SetOrientationHook(TOrientationHook hook);
  TOrientationHook OrientationHook() const;
  // 1 (no change) when there is no hook.
  int Orientation(std::string_view name) const;

 protected:
  virtual TRef<TStream> OpenStream(std::string_view name) = 0;

 private:
  friend class TCallbackHandle;
  void RemoveProvider(const TCallbackHandle& handle);

  mutable std::mutex fLock;
  mutable std::mutex fProviderLock;
  uint64_t fSourceNumber;
  std::vector<const TCallbackHandle*> fProviders;
  TOrientationHook fOrientationHook;
};

// Files on disk; "name|anything" opens "name"; path modifiers apply.
class TRealFileSource : public TFileSource {
 protected:
  TRef<TStream> OpenStream(std::string_view name) override;
};

// Disk files through the project's file map ("FileMap") and with its picture
// orientations ("RotationState").
class TMappedFileSource : public TFileSource {
 public:
  void LoadFileMap(const TIniSection& section);
  void LoadOrientations(const TIniSection& section);
  // The first target mapped to the name, or none.
  const std::string* MappedName(std::string_view name) const;

 protected:
  TRef<TStream> OpenStream(std::string_view name) override;
  // Opens a name after the map was applied.
  virtual TRef<TStream> OpenUnmapped(std::string_view name);

 private:
  std::unordered_map<std::string, std::vector<std::string>> fFileMap;  // upper-case keys
  std::unordered_map<std::string, int> fOrientations;                  // upper-case keys
};

// The entries of a show package.
class TPackedFileSource : public TMappedFileSource {
 public:
  explicit TPackedFileSource(TRef<TVivUnpack> package) : fPackage(std::move(package)) {}
  const TVivUnpack& Package() const { return *fPackage; }

 protected:
  TRef<TStream> OpenUnmapped(std::string_view name) override;

 private:
  TRef<TVivUnpack> fPackage;
};

// Split of a file-map line at the first "=" outside double quotes, both sides
// trimmed and unquoted; false unless both are non-empty.
bool SplitFileMapLine(std::string_view line, std::string& from, std::string& to);

}  // namespace viv
