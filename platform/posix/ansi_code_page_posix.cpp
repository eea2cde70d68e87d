// The ANSI code page on Linux: the codeset of the current LC_CTYPE, reached with iconv.
#include "platform/ansi_code_page.h"

#include "text/ByteSearch.h"
#include "text/TextConvert.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>

namespace platform {
namespace {

constexpr const char* kNativeUtf16 =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

/// One converter per thread, kept while the codeset stays the same: opening one costs
/// far more than converting a log line.
class Converter {
public:
  ~Converter() { Reset(); }

  iconv_t For(const char* codeset) {
    if (converter_ != reinterpret_cast<iconv_t>(-1) && codeset_ == codeset)
      return converter_;
    Reset();
    converter_ = iconv_open(codeset, kNativeUtf16);
    codeset_ = codeset;
    return converter_;
  }

private:
  void Reset() {
    if (converter_ != reinterpret_cast<iconv_t>(-1))
      iconv_close(converter_);
    converter_ = reinterpret_cast<iconv_t>(-1);
  }

  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);
  std::string codeset_;
};

} // namespace

std::string ToAnsiCodePage(std::u16string_view text) {
  std::string result;
  // Every codeset of a glibc locale encodes ASCII as ASCII: the common case needs no
  // converter at all.
  if (byte_search::AsciiPrefix(text) == text.size()) {
    result.assign(text.begin(), text.end());
    return result;
  }

  thread_local Converter converter;
  iconv_t cd = converter.For(nl_langinfo(CODESET));
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter for the codeset: keep what is ASCII, as the code page would.
    for (char16_t c : text)
      result.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return result;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  result.resize(text.size() * 4 + 16);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
  size_t inLeft = text.size() * sizeof(char16_t);
  char* out = result.data();
  size_t outLeft = result.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1))
      break;
    if (errno == E2BIG) {
      size_t used = result.size() - outLeft;
      result.resize(result.size() * 2);
      out = result.data() + used;
      outLeft = result.size() - used;
      continue;
    }
    // EILSEQ or EINVAL: one character the codeset cannot take (or a broken surrogate).
    if (outLeft == 0) {
      size_t used = result.size();
      result.resize(result.size() * 2);
      out = result.data() + used;
      outLeft = result.size() - used;
    }
    *out++ = '?';
    --outLeft;
    char16_t c;
    std::memcpy(&c, in, sizeof(c));
    size_t skip = 1;
    if (IsHighSurrogate(c) && inLeft >= 2 * sizeof(char16_t)) {
      char16_t next;
      std::memcpy(&next, in + sizeof(char16_t), sizeof(next));
      if (IsLowSurrogate(next))
        skip = 2;
    }
    in += skip * sizeof(char16_t);
    inLeft -= skip * sizeof(char16_t);
  }
  // Ends a shift state for codesets that have one.
  iconv(cd, nullptr, nullptr, &out, &outLeft);
  result.resize(result.size() - outLeft);
  return result;
}

} // namespace platform
