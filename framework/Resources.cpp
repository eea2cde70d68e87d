// The built-in text loaders over the platform's LoadStringW.
#include "framework/Resources.h"

#include <vector>

std::u16string LoadStringWhole(platform::ResourceModule module, unsigned ident) {
  std::vector<char16_t> buffer(1024);
  int length = platform::LoadStringW(module, ident, buffer.data(), static_cast<int>(buffer.size()));
  while (static_cast<int>(buffer.size()) <= length + 1) {
    buffer.resize(buffer.size() * 2);
    length = platform::LoadStringW(module, ident, buffer.data(), static_cast<int>(buffer.size()));
  }
  return std::u16string(buffer.data(), static_cast<size_t>(length));
}

std::u16string LoadTextFromModules(unsigned ident) {
  for (platform::ResourceModule module : platform::ResourceModules()) {
    std::u16string text = LoadStringWhole(module, ident);
    if (!text.empty())
      return text;
  }
  return {};
}

std::u16string LoadRecordText(const TResStringRec* rec,
                              std::u16string (*translate)(const std::u16string&)) {
  if (rec == nullptr)
    return {};
  if (rec->Identifier >= 65536)
    return u"ERROR";
  platform::ResourceModule module =
      rec->Module && *rec->Module ? *rec->Module : platform::MainResourceModule();
  std::u16string text = LoadStringWhole(module, rec->Identifier);
  return translate ? translate(text) : text;
}

std::u16string LoadResString(const TResStringRec* rec) {
  return LoadRecordText(rec);
}

std::u16string LoadStr(unsigned ident) {
  return LoadTextFromModules(ident);
}

std::u16string FmtLoadStr(unsigned ident, std::span<const FormatArg> args) {
  return Format(LoadStr(ident), args);
}

std::u16string LoadStringDirect(unsigned ident) {
  return LoadStringWhole(platform::MainResourceModule(), ident);
}
