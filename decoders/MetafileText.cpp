// Text of metafile records. The character sets are those of the LOGFONT lfCharSet field
// ([MS-WMF] 2.1.1.5 CharacterSet); their code pages are read with the C library's iconv. The
// Symbol font's codes follow the Adobe Symbol encoding, as Windows' Symbol font lays them out.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "decoders/MetafileData.h"

namespace {

// The code page of a character set, and whether it has double-byte characters.
struct TCodePage {
  const char* Name;
  bool DoubleByte;
};

TCodePage CodePageOf(uint8_t charSet) {
  switch (charSet) {
    case 77: return {"MACINTOSH", false};
    case 128: return {"CP932", true};   // SHIFTJIS_CHARSET
    case 129: return {"CP949", true};   // HANGUL_CHARSET
    case 130: return {"JOHAB", true};
    case 134: return {"CP936", true};   // GB2312_CHARSET
    case 136: return {"CP950", true};   // CHINESEBIG5_CHARSET
    case 161: return {"CP1253", false};
    case 162: return {"CP1254", false};
    case 163: return {"CP1258", false};
    case 177: return {"CP1255", false};
    case 178: return {"CP1256", false};
    case 186: return {"CP1257", false};
    case 204: return {"CP1251", false};
    case 222: return {"CP874", false};
    case 238: return {"CP1250", false};
    case 255: return {"CP437", false};  // OEM_CHARSET
    default: return {"CP1252", false};  // ANSI, DEFAULT, SYMBOL and the unknown ones
  }
}

bool IsLeadByte(uint8_t charSet, uint8_t b) {
  if (charSet == 128) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  return b >= 0x81 && b <= 0xFE;
}

// One iconv conversion to UTF-16, closed when done.
class TConverter {
 public:
  explicit TConverter(const char* from) : Cd_(iconv_open("UTF-16LE", from)) {}
  ~TConverter() {
    if (Cd_ != iconv_t(-1)) iconv_close(Cd_);
  }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;

  // Appends the character of `bytes` to `out`; false when the code page does not define it.
  bool Convert(std::span<const uint8_t> bytes, std::u16string& out) {
    if (Cd_ == iconv_t(-1)) return false;
    char in[2], result[16];
    std::memcpy(in, bytes.data(), bytes.size());
    char* inPtr = in;
    char* outPtr = result;
    size_t inLeft = bytes.size(), outLeft = sizeof result;
    iconv(Cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(Cd_, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || inLeft != 0) return false;
    for (const char* p = result; p + 1 < outPtr; p += 2)
      out.push_back(char16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8));
    return outPtr != result;
  }

 private:
  iconv_t Cd_;
};

// Symbol font codes 0x20-0xFF; 0 where the font has no glyph (the code is kept).
constexpr std::array<char16_t, 224> SymbolToUnicode = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A,
    0x039B, 0x039C, 0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA,
    0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194,
    0x2190, 0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284,
    0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3,
    0x23A7, 0x23A8, 0x23A9, 0x23AA, 0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0};

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | c >> 12), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | c >> 18), out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string DecodeMfText(std::span<const uint8_t> bytes, uint8_t charSet, std::span<const int32_t> dx,
                            std::vector<int32_t>& unitDx) {
  const TCodePage page = CodePageOf(charSet);
  TConverter converter(page.Name);
  std::u16string out;
  unitDx.clear();
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = page.DoubleByte && IsLeadByte(charSet, bytes[i]) && i + 1 < bytes.size() ? 2 : 1;
    const size_t before = out.size();
    if (!converter.Convert(bytes.subspan(i, length), out)) {
      out.resize(before);
      for (size_t k = 0; k < length; ++k) out.push_back(char16_t(bytes[i + k]));
    }
    int32_t advance = 0;
    for (size_t k = i; k < i + length && k < dx.size(); ++k) advance += dx[k];
    if (!dx.empty()) {
      unitDx.resize(out.size(), 0);
      if (out.size() > before) unitDx.back() = advance;
    }
    i += length;
  }
  return out;
}

std::string DecodeMfFaceName(std::string_view bytes, uint8_t charSet) {
  std::vector<int32_t> unused;
  return Utf16ToUtf8(DecodeMfText({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, charSet, {}, unused));
}

bool IsSymbolFont(const TMfFont& font) {
  std::string face = font.Face;
  std::transform(face.begin(), face.end(), face.begin(), [](char c) { return char(std::tolower(uint8_t(c))); });
  return face == "symbol";
}

void MapSymbolText(std::u16string& text) {
  for (char16_t& c : text) {
    const unsigned code = c >= 0xF020 && c <= 0xF0FF ? c - 0xF000 : c;
    if (code >= 0x20 && code <= 0xFF && SymbolToUnicode[code - 0x20]) c = SymbolToUnicode[code - 0x20];
  }
}
