// Arbitrary bytes as the executable: the scan for the appended table, the analysis, and
// the embedded catalogues it finds. Checks what the locator promises: the scan finds the
// first occurrence (position 0 counting as absent), every entry lies inside the file, and
// every entry can be asked for without reading outside it.
#include "common/GNUgettext/EmbeddedCatalogues.h"
#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/TranslationState.h"
#include "platform/test_support/fuzz_support.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

using fuzz_support::Fault;

std::int64_t Expected(std::string_view haystack, std::string_view signature) {
  size_t at = haystack.find(signature);
  return at == std::string_view::npos ? 0 : static_cast<std::int64_t>(at);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static fuzz_support::ScratchFile file("sa-fuzz-exe");
  file.Write(data, size);
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  {
    std::ifstream in(file.path(), std::ios::binary);
    for (const std::string& marker :
         {embedded_catalogues::BeginMarker(), embedded_catalogues::EndMarker()})
      if (TFileLocator::FindSignaturePos(marker, in) != Expected(bytes, marker))
        Fault();
  }
  // Short signatures taken from the input itself, searched for in the rest of it: repeats
  // and partial matches that the markers alone rarely produce.
  if (size > 1) {
    const size_t length = std::min<size_t>(data[0] % 6 + 1, size - 1);
    const std::string signature(bytes.substr(1, length));
    const std::string rest(bytes.substr(1 + length));
    std::istringstream in(rest);
    if (TFileLocator::FindSignaturePos(signature, in) != Expected(rest, signature))
      Fault();
  }

  Translation().ExecutablePath = file.path().u16string();
  TFileLocator locator;
  locator.Analyze();
  const TStringList<TEmbeddedFileInfo>& files = locator.EmbeddedFiles();
  for (int i = 0; i < files.Count(); ++i) {
    const TEmbeddedFileInfo& info = *files.Objects(i);
    if (info.offset < 0 || info.size < 0 || info.offset > static_cast<std::int64_t>(size) ||
        info.size > static_cast<std::int64_t>(size) - info.offset)
      Fault();
    const std::u16string path = locator.BaseDirectory() + files.Strings(i);
    if (!locator.FileExists(path))
      Fault();
    TMoFile* mo = nullptr;
    try {
      mo = locator.GetMoFile(path);
    } catch (const EGGIOError&) {
      continue; // not a valid catalogue: reported, not read
    }
    bool found;
    (void)mo->gettext("", found);
    (void)mo->gettext("key1", found);
    locator.ReleaseMoFile(mo);
  }
  if (locator.OpenCatalogueCount() != 0)
    Fault();
  return 0;
}
