// Arbitrary bytes as an MO catalogue: opened at offset 0 and inside the file, and searched.
// Checks what the reader promises: it accepts exactly the catalogues whose header, tables
// and strings lie inside the data, and in a catalogue whose source strings are sorted
// every source string is found.
#include "common/GNUgettext/MoFile.h"
#include "platform/test_support/fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using fuzz_support::Fault;

std::unique_ptr<TMoFile> Open(const std::u16string& path, std::int64_t offset, std::int64_t size,
                              bool mapped = true) {
  try {
    return std::make_unique<TMoFile>(path, offset, size, mapped);
  } catch (const EGGIOError&) {
    return nullptr;
  }
}

/// The copying and the in-place lookup give the same answer for every key.
void CheckLookupsAgree(const TMoFile& mo, const std::vector<std::string>& keys) {
  for (const std::string& key : keys) {
    bool copiedFound = false;
    const std::string copied = mo.gettext(key, copiedFound);
    std::string_view inPlace;
    const bool found = mo.Find(key, inPlace);
    if (found != copiedFound || (found && inPlace != copied) || (!found && copied != key))
      Fault();
  }
}

/// The catalogue as the format describes it, read independently of the reader.
struct Layout {
  std::vector<std::string_view> sources, translations;
};

std::optional<Layout> ReadLayout(std::string_view data) {
  if (data.size() < 20)
    return std::nullopt;
  auto word = [&](std::uint64_t at, bool swap) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      unsigned b = static_cast<unsigned char>(data[at + (swap ? 3 - i : i)]);
      v |= std::uint32_t{b} << (8 * i);
    }
    return v;
  };
  bool swap;
  if (word(0, false) == 0x950412de)
    swap = false;
  else if (word(0, true) == 0x950412de)
    swap = true;
  else
    return std::nullopt;
  std::uint64_t n = word(8, swap), o = word(12, swap), t = word(16, swap);
  if (n > 0x7fffffff || o + n * 8 > data.size() || t + n * 8 > data.size())
    return std::nullopt;
  Layout layout;
  // The two tables may be the same bytes: a list per table, not per position.
  for (auto [table, list] : {std::pair{o, &layout.sources}, std::pair{t, &layout.translations}}) {
    for (std::uint64_t i = 0; i < n; ++i) {
      std::uint64_t length = word(table + i * 8, swap), position = word(table + i * 8 + 4, swap);
      if (position + length > data.size())
        return std::nullopt;
      list->push_back(data.substr(position, length));
    }
  }
  return layout;
}

/// The catalogue's search in its plainest form, one comparison after the other, as the
/// model the reader's faster loop must agree with on every catalogue, sorted or not.
std::optional<std::string_view> ModelSearch(const Layout& layout, std::string_view msgid) {
  const auto n = static_cast<std::int64_t>(layout.sources.size());
  if (n == 0)
    return std::nullopt;
  std::int64_t index = 1;
  for (std::int64_t rest = n; rest > 0; rest /= 2)
    index *= 2;
  index /= 2;
  std::int64_t step = index / 2;
  for (;;) {
    const std::string_view source = layout.sources[static_cast<size_t>(index - 1)];
    const int c = msgid.compare(source); // unsigned bytes, then the shorter first
    if (c == 0)
      return layout.translations[static_cast<size_t>(index - 1)];
    if (step == 0)
      return std::nullopt;
    index = c < 0 ? (index > step ? index - step : 1) : std::min(index + step, n);
    step /= 2;
  }
}

void CheckAgainstModel(const TMoFile& mo, const Layout& layout,
                       const std::vector<std::string>& keys) {
  for (const std::string& key : keys) {
    std::string_view translation;
    const bool found = mo.Find(key, translation);
    const std::optional<std::string_view> expected = ModelSearch(layout, key);
    if (found != expected.has_value() || (found && translation != *expected))
      Fault();
  }
}

bool StrictlySorted(const std::vector<std::string_view>& keys) {
  // string_view compares as unsigned bytes, the shorter first: the catalogue's order.
  for (size_t i = 1; i < keys.size(); ++i)
    if (!(keys[i - 1] < keys[i]))
      return false;
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static fuzz_support::ScratchFile file("sa-fuzz-mofile");
  file.Write(data, size);
  const std::u16string path = file.path().u16string();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::vector<std::string> keys = {"", "a", "key1", "Hello", std::string("one\0two", 7), "\xff"};
  keys.emplace_back(bytes.substr(std::min<size_t>(size, 20), 12));

  const std::optional<Layout> layout = ReadLayout(bytes);
  std::unique_ptr<TMoFile> mapped = Open(path, 0, 0);
  if ((mapped != nullptr) != layout.has_value())
    Fault();
  // A copy of the whole file is taken or refused as the view is, and answers as it does.
  std::unique_ptr<TMoFile> copied = Open(path, 0, 0, false);
  if ((copied != nullptr) != (mapped != nullptr))
    Fault();
  if (mapped) {
    if (layout->sources.size() <= 256)
      for (std::string_view s : layout->sources)
        keys.emplace_back(s);
    CheckLookupsAgree(*mapped, keys);
    CheckAgainstModel(*mapped, *layout, keys);
    CheckAgainstModel(*copied, *layout, keys);
    if (layout->sources.size() <= 256 && StrictlySorted(layout->sources)) {
      for (size_t i = 0; i < layout->sources.size(); ++i) {
        std::string_view translation;
        if (!mapped->Find(layout->sources[i], translation) ||
            translation != layout->translations[i])
          Fault();
      }
    }
  }

  // The same bytes as a catalogue inside a larger file, which ends where its size says.
  if (size > 8) {
    const std::int64_t offset = data[0] % 8 + 1;
    const std::int64_t length = static_cast<std::int64_t>(size) - offset - data[1] % 4;
    std::unique_ptr<TMoFile> inner = Open(path, offset, length);
    const std::optional<Layout> innerLayout =
        ReadLayout(bytes.substr(static_cast<size_t>(offset), static_cast<size_t>(length)));
    if ((inner != nullptr) != innerLayout.has_value())
      Fault();
    if (inner) {
      CheckLookupsAgree(*inner, keys);
      CheckAgainstModel(*inner, *innerLayout, keys);
    }
  }
  return 0;
}
