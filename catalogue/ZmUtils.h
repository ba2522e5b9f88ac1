// Shared text functions of the file catalogue and the rest of the program: size and attribute
// texts, trimming of whole characters, extension lists, colours, and the name orderings.
// Stateless; texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"  // DirectoryExists

// "2GB以上" is kept for a negative count; with 64-bit sizes no caller produces one.
std::string SizeToText(int64_t n);
// Whole kilobytes rounded up, with thousands separators: 1 -> "1 KB", 1025 -> "2 KB".
std::string SizeToKBText(int64_t n);
// Letters R, H, S, A for the attribute bits 0x01, 0x02, 0x04, 0x20.
std::string AttrToText(uint32_t attr);

// Remove one whole character (UTF-8 code point) at the start or the end.
std::string DeleteFirstChar(std::string_view s);
std::string DeleteLastChar(std::string_view s);
// Removes the leading run of lower-case ASCII letters: "filoHiddenFileView" -> "HiddenFileView".
std::string DeleteLowerPrefix(std::string_view s);
// "*.jpg;*.jpeg" -> ".jpg,.jpeg".
std::string ExtListToCommaText(std::string_view s);
// Splits comma-separated text into trimmed, non-empty parts.
std::vector<std::string> SplitCommaText(std::string_view s);

constexpr uint16_t SwapWord(uint16_t w) { return uint16_t((w >> 8) | (w << 8)); }

// A colour as stored in settings: blue * 65536 + green * 256 + red for RGB colours, or
// 0xFF000000 + index for a system colour (negative as a signed number).
using TColor = int32_t;
constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) { return TColor(r | (g << 8) | (b << 16)); }
constexpr TColor clBtnFace = TColor(0xFF00000F);
// Resolves system colours to plain RGB (classic desktop values unless the UI installed its own).
TColor ColorToRGB(TColor c);
void SetSystemColor(int index, TColor rgb);
// Adds 128 modulo 256 to each of red, green and blue of the resolved colour.
TColor ContrastColor(TColor c);

// ASCII-only helpers for keys, extensions and other program-defined names.
char LowerAscii(char c);
std::string LowerAsciiString(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);
int CompareTextAscii(std::string_view a, std::string_view b);
std::string TrimControl(std::string_view s);  // drops leading and trailing bytes <= ' '

// Orderings for display: locale-aware and case-insensitive (ICU, FormatSettings().CollationLocale;
// the C and POSIX locales order by the neutral root collation); 0 for names that differ only in
// letter case. Callers that need a total order finish with CompareExact.
int CompareFileName(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
inline int CompareExact(std::string_view a, std::string_view b) {
  const int r = a.compare(b);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}
// Re-reads FormatSettings().CollationLocale; call after changing it.
void ResetCollation();

// Identity of files and folders follows the file system: exact comparison.
inline bool SameFileName(std::string_view a, std::string_view b) { return a == b; }

// Ensures a trailing "/" (an empty path stays empty).
std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);
// The file's name after the last "/", and the folder up to and including it.
std::string_view ExtractFileName(std::string_view path);
std::string_view ExtractFilePath(std::string_view path);
// From the last "." of the name (including it); empty when the name has none.
std::string_view ExtractFileExt(std::string_view path);

// Truncates to at most maxChars code points without splitting one.
std::string TruncateUtf8(std::string_view s, size_t maxChars);

// Appends `text` as one field of a tab-separated record, so that no name can forge a field or a
// record: "\" becomes "\\", a tab "\t", a line feed "\n", and every other control character
// (U+0000-U+001F, U+007F-U+009F) and every byte that is not part of valid UTF-8 "\xhh", one per
// byte. The escapes can be undone exactly, so the field still names the same bytes.
void AppendEscapedField(std::string& out, std::string_view text);
