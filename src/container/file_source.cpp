#include "container/file_source.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "base/text.h"
#include "container/disk_path.h"
#include "container/load_callback.h"
#include "container/path_modifiers.h"
#include "project/ini_tree.h"

namespace viv {
namespace {

std::atomic<uint64_t> gNextSourceNumber{1};

constexpr int kOrientationCodes[] = {1, 3, 6, 8};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// A section's lines as they were written: "key=value" for key lines.
std::string LineText(const TIniItem& item) {
  if (!item.HasName()) return item.Value();
  return item.Name() + "=" + item.Value();
}

TRef<TStream> OpenDiskFile(std::string_view name, bool quietReadErrors) {
  std::string_view file = name.substr(0, name.find('|'));
  std::string modified = ApplyPathModifiers(file);
  auto path = FindDiskPath(modified);
  if (!path) return nullptr;
  try {
    if (quietReadErrors) return TFileStream::OpenQuiet(*path);
    return TFileStream::Open(*path, TFileMode::Read);
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace

// --- TCallbackHandle

TCallbackHandle::TCallbackHandle(TFileSource& source, TPictureProviderProc proc, void* context)
    : fSource(&source), fProc(proc), fContext(context) {}

void TCallbackHandle::Cleanup() { fSource->RemoveProvider(*this); }

// --- TFileSource

TFileSource::TFileSource() : fSourceNumber(gNextSourceNumber.fetch_add(1)) {}

TRef<TStream> TFileSource::Open(std::string_view name) {
  std::lock_guard guard(fLock);
  return OpenStream(name);
}

TRef<TCallbackHandle> TFileSource::RegisterPictureProvider(TPictureProviderProc proc,
                                                           void* context) {
  auto handle = MakeRef<TCallbackHandle>(*this, proc, context);
  std::lock_guard guard(fProviderLock);
  fProviders.push_back(handle.Get());
  return handle;
}

void TFileSource::RemoveProvider(const TCallbackHandle& handle) {
  std::lock_guard guard(fProviderLock);
  fProviders.erase(std::remove(fProviders.begin(), fProviders.end(), &handle), fProviders.end());
}

TRef<TPictureStore> TFileSource::ProvidePicture(std::string_view name) {
  std::vector<std::pair<TPictureProviderProc, void*>> providers;
  {
    std::lock_guard guard(fProviderLock);
    for (const TCallbackHandle* handle : fProviders)
      providers.emplace_back(handle->Proc(), handle->Context());
  }
  for (auto& [proc, context] : providers)
    if (auto picture = proc(name, context)) return picture;
  return nullptr;
}

void TFileSource::SetOrientationHook(TOrientationHook hook) {
  std::lock_guard guard(fProviderLock);
  fOrientationHook = std::move(hook);
}

TOrientationHook TFileSource::OrientationHook() const {
  std::lock_guard guard(fProviderLock);
  return fOrientationHook;
}

int TFileSource::Orientation(std::string_view name) const {
  TOrientationHook hook = OrientationHook();
  return hook ? hook(name) : 1;
}

// --- TRealFileSource

TRef<TStream> TRealFileSource::OpenStream(std::string_view name) {
  return OpenDiskFile(name, true);
}

// --- TMappedFileSource

bool SplitFileMapLine(std::string_view line, std::string& from, std::string& to) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      quoted = !quoted;
    } else if (line[i] == '=' && !quoted) {
      from = Unquote(Trim(line.substr(0, i)));
      to = Unquote(Trim(line.substr(i + 1)));
      return !from.empty() && !to.empty();
    }
  }
  return false;
}

void TMappedFileSource::LoadFileMap(const TIniSection& section) {
  for (const auto& child : section.Children()) {
    std::string line = LineText(*child);
    std::string_view text = line;
    if (text.starts_with(';')) text.remove_prefix(1);
    std::string from, to;
    if (SplitFileMapLine(text, from, to)) fFileMap[UpperCase(from)].push_back(std::move(to));
  }
}

void TMappedFileSource::LoadOrientations(const TIniSection& section) {
  for (const auto& child : section.Children()) {
    std::string line = LineText(*child);
    std::string_view text = line;
    if (!text.starts_with(";\"")) continue;
    size_t close = text.find("\"=", 2);
    if (close == std::string_view::npos) continue;
    std::string name(text.substr(2, close - 2));
    auto code = ParseInt32(Trim(text.substr(close + 2)));
    if (!code || std::find(std::begin(kOrientationCodes), std::end(kOrientationCodes), *code) ==
                     std::end(kOrientationCodes))
      continue;
    fOrientations[UpperCase(name)] = *code;
  }
  if (fOrientations.empty()) return;
  // The hook keeps its own copy: accessors made later for the disk take it over
  // and may outlive this source.
  auto table = std::make_shared<const std::unordered_map<std::string, int>>(fOrientations);
  SetOrientationHook([table](std::string_view name) {
    auto it = table->find(UpperCase(name));
    return it == table->end() ? 1 : it->second;
  });
}

const std::string* TMappedFileSource::MappedName(std::string_view name) const {
  if (fFileMap.empty()) return nullptr;
  auto it = fFileMap.find(UpperCase(name));
  return it == fFileMap.end() ? nullptr : &it->second.front();
}

TRef<TStream> TMappedFileSource::OpenStream(std::string_view name) {
  const std::string* target = MappedName(name);
  return OpenUnmapped(target ? std::string_view(*target) : name);
}

TRef<TStream> TMappedFileSource::OpenUnmapped(std::string_view name) {
  return OpenDiskFile(name, false);
}

// --- TPackedFileSource

TRef<TStream> TPackedFileSource::OpenUnmapped(std::string_view name) {
  auto entry = fPackage->FindEntry(name);
  if (!entry) return nullptr;
  return fPackage->OpenEntryStream(*entry, LoadReadCallback(),
                                   TPartialStream::kPieceWithoutCallback);
}

}  // namespace viv
