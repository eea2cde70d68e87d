// Appends message catalogues to an executable, so that a deployment ships one file.
#include "common/GNUgettext/EmbeddedCatalogues.h"
#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/MoFile.h"
#include "common/GNUgettext/TranslationState.h"
#include "text/TextConvert.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: mo_embed [-o OUTPUT] EXECUTABLE CATALOGUE...\n"
    "       mo_embed --list EXECUTABLE\n"
    "\n"
    "Appends GNU gettext .mo catalogues to EXECUTABLE (or to a copy named OUTPUT).\n"
    "Each CATALOGUE is either a file inside the executable's folder, embedded under its\n"
    "path relative to that folder, or NAME=FILE to embed FILE under NAME, for example\n"
    "  locale/de/LC_MESSAGES/default.mo=po/de.mo\n"
    "Names are written with the separator of the executable's system (\\ for Windows\n"
    "programs, / otherwise). The program finds them as if they lay beside it on disk.\n"
    "--list prints the names of the catalogues an executable carries.\n";

class ToolError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw ToolError("cannot read " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad())
    throw ToolError("cannot read " + path.string());
  return bytes;
}

bool IsWindowsProgram(const std::string& bytes) {
  return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
}

std::string WithSeparator(std::string name, char separator) {
  for (char& c : name)
    if (c == '/' || c == '\\')
      c = separator;
  return name;
}

embedded_catalogues::Catalogue ReadCatalogue(const std::string& argument, const fs::path& folder,
                                             char separator) {
  std::string name;
  fs::path file;
  if (size_t equals = argument.find('='); equals != std::string::npos) {
    name = argument.substr(0, equals);
    file = argument.substr(equals + 1);
  } else {
    file = argument;
    fs::path relative = fs::weakly_canonical(file).lexically_relative(fs::weakly_canonical(folder));
    if (relative.empty() || *relative.begin() == "..")
      throw ToolError(argument + " does not lie inside the executable's folder " + folder.string() +
                      "; give its name as NAME=FILE");
    name = relative.generic_string();
  }
  name = WithSeparator(name, separator);
  if (name.empty() || name.front() == separator)
    throw ToolError("catalogue name must be a relative path: " + argument);
  // Refuse what the program could not use, before anything is written.
  try {
    TMoFile check(file.u16string(), 0, 0, true);
  } catch (const EGnuGettext& e) {
    throw ToolError(e.what());
  }
  return {name, ReadAll(file)};
}

void List(const fs::path& executable) {
  if (!fs::is_regular_file(executable))
    throw ToolError("cannot read " + executable.string());
  Translation().ExecutablePath = fs::absolute(executable).u16string();
  TFileLocator locator;
  locator.Analyze();
  for (int i = 0; i < locator.EmbeddedFiles().Count(); ++i) {
    const TEmbeddedFileInfo* info = locator.EmbeddedFiles().Objects(i);
    std::printf("%s\t%lld bytes at %lld\n", Utf16ToUtf8(locator.EmbeddedFiles().Strings(i)).c_str(),
                static_cast<long long>(info->size), static_cast<long long>(info->offset));
  }
}

void Embed(const fs::path& executable, const fs::path& output,
           const std::vector<std::string>& arguments) {
  std::string program = ReadAll(executable);
  {
    std::ifstream in(executable, std::ios::binary);
    if (TFileLocator::FindSignaturePos(embedded_catalogues::BeginMarker(), in) > 0)
      throw ToolError(executable.string() + " already carries catalogues; embed into the "
                                            "original executable");
  }
  const char separator = IsWindowsProgram(program) ? '\\' : '/';
  const fs::path folder = fs::absolute(executable).parent_path();
  std::vector<embedded_catalogues::Catalogue> catalogues;
  for (const std::string& argument : arguments) {
    catalogues.push_back(ReadCatalogue(argument, folder, separator));
    for (size_t i = 0; i + 1 < catalogues.size(); ++i)
      if (AsciiLower(Utf8ToUtf16(catalogues[i].name)) ==
          AsciiLower(Utf8ToUtf16(catalogues.back().name)))
        throw ToolError("catalogue named twice: " + catalogues.back().name);
  }
  // Written beside the target and renamed over it, so a failure leaves no half-made file.
  fs::path temporary = output;
  temporary += ".mo_embed.tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    std::string table = embedded_catalogues::BuildTable(catalogues);
    out.write(program.data(), static_cast<std::streamsize>(program.size()));
    out.write(table.data(), static_cast<std::streamsize>(table.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      throw ToolError("cannot write " + temporary.string());
    }
  }
  std::error_code error;
  fs::permissions(temporary, fs::status(executable).permissions(), error);
  fs::rename(temporary, output, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw ToolError("cannot replace " + output.string() + ": " + error.message());
  }
  for (const auto& c : catalogues)
    std::printf("%s\t%zu bytes\n", c.name.c_str(), c.bytes.size());
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "-h" || args[0] == "--help") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  try {
    if (args[0] == "--list") {
      if (args.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
      }
      List(args[1]);
      return 0;
    }
    fs::path output;
    size_t at = 0;
    if (args[0] == "-o") {
      if (args.size() < 2) {
        std::fputs(kUsage, stderr);
        return 2;
      }
      output = args[1];
      at = 2;
    }
    if (args.size() < at + 2) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    fs::path executable = args[at];
    if (output.empty())
      output = executable;
    Embed(executable, output, std::vector<std::string>(args.begin() + at + 1, args.end()));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mo_embed: %s\n", e.what());
    return 1;
  }
}
