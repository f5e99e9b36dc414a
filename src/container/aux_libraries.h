// The helper libraries a show may carry ("ffmpeg.dll", "lcms2.dll"). Our media
// and colour libraries are linked, so nothing is loaded from these files; they
// are still extracted into a temporary folder so that their paths exist for
// whoever asks, as with any show.
#pragma once

#include <string>

namespace viv {

class TVivShowLocator;

// Path of the media library file, empty when none.
std::string FfmpegLibraryPath();
void SetFfmpegLibraryPath(std::string path);
// Path of the colour library file, empty when none was extracted.
std::string ColourLibraryPath();

// Does nothing when the media library path is set. With a package show that has
// an entry "ffmpeg.dll", writes it into a new temporary folder and takes that
// path; otherwise takes "..\Common\FFmpeg.dll" beside the player if it exists.
void ExtractFfmpegLibrary(const TVivShowLocator* show);

// Extracts a package's "lcms2.dll" once, like the media library; reports
// whether colour conversions are available (always: the library is linked).
bool ExtractColourLibrary(const TVivShowLocator* show);

// The colour library hook that colour management calls; start-up installs
// ExtractColourLibrary.
using TColourLibraryHook = bool (*)(const TVivShowLocator* show);
void SetColourLibraryHook(TColourLibraryHook hook);
TColourLibraryHook ColourLibraryHook();

}  // namespace viv
