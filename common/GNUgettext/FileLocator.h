// The one catalogue locator: catalogues appended to the executable, and the open
// catalogues shared between the text domains.
#pragma once

#include "common/GNUgettext/MoFile.h"
#include "framework/ReaderWriterLock.h"
#include "framework/StringList.h"
#include "framework/SysUtils.h"

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

/// Where one appended catalogue lies in the executable.
class TEmbeddedFileInfo {
public:
  std::int64_t offset = 0; // absolute position of its first byte
  std::int64_t size = 0;
};

class TFileLocator {
public:
  TFileLocator();
  virtual ~TFileLocator();
  TFileLocator(const TFileLocator&) = delete;
  TFileLocator& operator=(const TFileLocator&) = delete;

  /// Reads the table appended to the executable named by ExecutablePath, once. A table
  /// that cannot be read to its end keeps the entries read before the fault; an entry
  /// whose name, position or size points outside the executable is such a fault.
  void Analyze();

  /// 0-based position of the first occurrence of signature in the stream, read from its
  /// start in blocks of 100,000 bytes; 0 when absent.
  static std::int64_t FindSignaturePos(std::string_view signature, std::istream& str);

  /// Whether the full path names an embedded catalogue.
  bool FileExists(const std::u16string& filename) const;

  /// The shared catalogue for the full path, its Users raised by 1. An embedded
  /// catalogue is preferred over a file of the same path. Raises EGGIOError.
  TMoFile* GetMoFile(const std::u16string& filename);

  /// Gives back one use; the last one destroys the catalogue.
  void ReleaseMoFile(TMoFile* mofile);

  const std::u16string& BaseDirectory() const { return basedirectory; }
  const TStringList<TEmbeddedFileInfo>& EmbeddedFiles() const { return filelist; }
  int OpenCatalogueCount() const { return MoFiles.Count(); }

private:
  const TEmbeddedFileInfo* EmbeddedEntry(const std::u16string& filename) const;

  std::u16string basedirectory;
  TStringList<TEmbeddedFileInfo> filelist;
  TReaderWriterLock MoFilesCS;
  TStringList<TMoFile> MoFiles;
};
