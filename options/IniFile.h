// TMemIniFile: the in-memory image of an INI file through which every component reads and
// writes its settings section.
//
// Reading: lines are trimmed of bytes up to the space; empty lines and lines beginning with ";"
// are skipped; "[name]" opens a section (a repeated header opens a further section of that
// name); lines before the first header are dropped; "key=value" is split at the first "=",
// both sides trimmed; other lines are kept as they are. Look-ups ignore ASCII letter case and
// take the first section of a name and, in it, the first entry of a key. Writing the file puts
// each section's header, its entries and one empty line, with CR LF line ends, and replaces the
// file atomically, but never over a file that exists and could not be read. User-interface
// thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/AppPaths.h"

class TMemIniFile {
 public:
  TMemIniFile() = default;
  // Reads the file at once; a missing or unreadable file gives an empty image (FileStatus
  // tells which).
  explicit TMemIniFile(std::string fileName);

  const std::string& FileName() const { return File_.Path; }
  void SetFileName(std::string fileName) { File_ = {TSettingsFileStatus::Missing, std::move(fileName), {}}; }
  // How the file was found; the owner may set an unreadable file aside (SetAsideSettingsFile).
  TSettingsFileStatus& FileStatus() { return File_; }

  // Replaces the image with the parsed text, or renders the image as the file's text.
  void SetText(std::string_view text);
  std::string Text() const;
  // Writes the image to FileName (temporary file + rename). False with a reason on failure, and
  // while the file there is one that could not be read.
  bool UpdateFile(std::string* error = nullptr) const;

  std::string ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
  // Decimal, or hexadecimal after "0x"/"0X" (longer than two characters) or "$"; anything that
  // is not a 32-bit integer gives def.
  int32_t ReadInteger(std::string_view section, std::string_view ident, int32_t def) const;
  bool ReadBool(std::string_view section, std::string_view ident, bool def) const;
  // Uses the locale's decimal separator; missing, empty or unreadable text gives def.
  double ReadFloat(std::string_view section, std::string_view ident, double def) const;

  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view ident, int32_t value);
  void WriteBool(std::string_view section, std::string_view ident, bool value);
  void WriteFloat(std::string_view section, std::string_view ident, double value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view ident) const;
  std::vector<std::string> ReadSections() const;
  void EraseSection(std::string_view section);
  void Clear();

 private:
  struct TEntry {
    std::string Key;
    std::string Value;
    bool HasValue;  // false for a line without "=", kept as Key
  };
  struct TSection {
    std::string Name;
    std::vector<TEntry> Entries;
    std::unordered_map<std::string, size_t> FirstEntry;  // lower-case key -> entry index
  };

  const TSection* FindSection(std::string_view section) const;
  TSection& AddSection(std::string_view name);
  static const TEntry* FindEntry(const TSection& s, std::string_view ident);
  void RebuildSectionIndex();

  TSettingsFileStatus File_;
  std::vector<TSection> Sections_;
  std::unordered_map<std::string, size_t> FirstSection_;  // lower-case name -> section index
};

// Number forms of the settings file, shared with other readers of numeric settings.
bool TryStrToInt(std::string_view text, int32_t& value);
bool TryStrToFloat(std::string_view text, double& value);
std::string FloatToStr(double value);
