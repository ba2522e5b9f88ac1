#include "catalogue/ZmUtils.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <string>

#include "catalogue/FormatSettings.h"

namespace {

TEST(ZmUtils, SizeToTextThresholdsAndSignificantDigits) {
  struct Case {
    int64_t Bytes;
    const char* Text;
  };
  const Case cases[] = {
      {0, "0 バイト"},
      {999, "999 バイト"},
      {1000, "0.977 KB"},
      {1536, "1.5 KB"},
      {1023999, "1E3 KB"},  // 999.999 KB rounds to 1000 at three digits
      {1024000, "0.977 MB"},
      {1048575999, "1E3 MB"},
      {1048576000, "0.977 GB"},
      {1099511627776, "1 TB"},
      {int64_t(5) << 30, "5 GB"},
      {int64_t(3) << 40, "3 TB"},
      {-1, "2GB以上"},
  };
  for (const Case& c : cases) EXPECT_EQ(SizeToText(c.Bytes), c.Text) << c.Bytes;
}

TEST(ZmUtils, SizeTextsFollowTheLocale) {
  TFormatSettings saved = FormatSettings();
  FormatSettings().DecimalSeparator = ",";
  FormatSettings().ThousandSeparator = ".";
  EXPECT_EQ(SizeToText(1536), "1,5 KB");
  EXPECT_EQ(SizeToKBText(int64_t(5) << 30), "5.242.880 KB");
  FormatSettings() = saved;
}

TEST(ZmUtils, SizeToKBTextRoundsUpAndIs64Bit) {
  EXPECT_EQ(SizeToKBText(0), "0 KB");
  EXPECT_EQ(SizeToKBText(1), "1 KB");
  EXPECT_EQ(SizeToKBText(1024), "1 KB");
  EXPECT_EQ(SizeToKBText(1025), "2 KB");
  EXPECT_EQ(SizeToKBText(1234567), "1,206 KB");
  EXPECT_EQ(SizeToKBText(int64_t(3) << 30), "3,145,728 KB");  // 3 GiB, no truncation
}

TEST(ZmUtils, AttributeLetters) {
  EXPECT_EQ(AttrToText(0x27), "RHSA");
  EXPECT_EQ(AttrToText(0x10), "");
  EXPECT_EQ(AttrToText(0x02 | 0x10), "H");
}

TEST(ZmUtils, CharacterTrimmingKeepsCodePointsWhole) {
  EXPECT_EQ(DeleteFirstChar(""), "");
  EXPECT_EQ(DeleteLastChar(""), "");
  EXPECT_EQ(DeleteFirstChar("TBitmap"), "Bitmap");
  EXPECT_EQ(DeleteLastChar("写真/"), "写真");
  EXPECT_EQ(DeleteLastChar("写真"), "写");
  EXPECT_EQ(DeleteFirstChar("写真"), "真");
  EXPECT_EQ(DeleteLastChar("a😀"), "a");
  EXPECT_EQ(DeleteFirstChar("😀b"), "b");
  // Broken sequences lose one byte at a time, never more than the string has.
  EXPECT_EQ(DeleteLastChar("ab\x80"), "ab");
  EXPECT_EQ(DeleteLastChar("\xe5\x86"), "\xe5");
  EXPECT_EQ(DeleteFirstChar("\xe5"), "");
  EXPECT_EQ(DeleteLowerPrefix("filoHiddenFileView"), "HiddenFileView");
  EXPECT_EQ(DeleteLowerPrefix("abc"), "");
  EXPECT_EQ(DeleteLowerPrefix("Abc"), "Abc");
  EXPECT_EQ(TruncateUtf8("写真とdata", 3), "写真と");
}

TEST(ZmUtils, ExtensionListText) {
  EXPECT_EQ(ExtListToCommaText(""), "");
  EXPECT_EQ(ExtListToCommaText("*.*"), ".");
  EXPECT_EQ(ExtListToCommaText("*.jpg;*.jpeg"), ".jpg,.jpeg");
  EXPECT_EQ(SplitCommaText(" .jpg, ,.png,"), (std::vector<std::string>{".jpg", ".png"}));
}

TEST(ZmUtils, ContrastColorAndSystemColors) {
  EXPECT_EQ(ContrastColor(RGB(0, 0, 0)), RGB(128, 128, 128));
  EXPECT_EQ(ContrastColor(RGB(255, 255, 255)), RGB(127, 127, 127));
  EXPECT_EQ(ContrastColor(RGB(10, 200, 130)), RGB(138, 72, 2));
  EXPECT_EQ(clBtnFace, -16777201);
  SetSystemColor(15, RGB(1, 2, 3));
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
  EXPECT_EQ(ContrastColor(clBtnFace), RGB(129, 130, 131));
  SetSystemColor(15, RGB(240, 240, 240));
  EXPECT_EQ(SwapWord(0x1234), 0x3412);
}

TEST(ZmUtils, NameOrderingIsCaseInsensitiveAndLocaleAware) {
  FormatSettings().CollationLocale = "en";
  ResetCollation();
  EXPECT_EQ(CompareFileName("a.jpg", "A.JPG"), 0);
  EXPECT_LT(CompareFileName("apple", "Banana"), 0);
  EXPECT_LT(CompareFileName("Banana", "cherry"), 0);
  EXPECT_LT(CompareFileName("élan", "zeta"), 0);  // not code-point order, where é follows z
  EXPECT_NE(CompareExact("a.jpg", "A.JPG"), 0);
  EXPECT_EQ(CompareText("JPEG image", "jpeg IMAGE"), 0);
  // Invalid UTF-8 still orders without failing.
  EXPECT_NE(CompareFileName("\xff\xfe", "abc"), 2);
}

// The window names the C locale "C"; kirvane-cli leaves the setting empty and gets the process's
// default, which ICU calls en_US_POSIX under LANG=C. Both must order names the same way.
TEST(ZmUtils, TheCAndPosixLocalesOrderNamesWithoutRegardToCase) {
  const std::string saved = uloc_getDefault();
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("en_US_POSIX", &status);
  for (const char* locale : {"", "C", "POSIX", "C.UTF-8", "en_US_POSIX"}) {
    FormatSettings().CollationLocale = locale;
    ResetCollation();
    EXPECT_EQ(CompareFileName("a.jpg", "A.JPG"), 0) << locale;
    EXPECT_LT(CompareFileName("a2.jpg", "B.jpg"), 0) << locale;
    EXPECT_LT(CompareFileName("B.jpg", "c.jpg"), 0) << locale;
  }
  uloc_setDefault(saved.c_str(), &status);
  FormatSettings().CollationLocale = "en";
  ResetCollation();
}

// Undoes AppendEscapedField, to show that the escapes lose nothing.
std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
    } else if (s[++i] == 'x') {
      out += char(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += s[i] == 't' ? '\t' : s[i] == 'n' ? '\n' : s[i];
    }
  }
  return out;
}

TEST(ZmUtils, EscapedFieldsHoldNoSeparatorControlOrInvalidByte) {
  struct Case {
    std::string Text, Escaped;
  };
  const Case cases[] = {
      {"", ""},
      {"/photos/2004/a b.jpg", "/photos/2004/a b.jpg"},
      {"写真/é.jpg", "写真/é.jpg"},
      {"evil.jpg\n0\tなし\tinnocent.jpg", "evil.jpg\\n0\\tなし\\tinnocent.jpg"},
      {"back\\slash\\t", "back\\\\slash\\\\t"},
      {std::string("nul\0cr\r\x1b[31m\x7f", 13), "nul\\x00cr\\x0d\\x1b[31m\\x7f"},
      {"\xc2\x85next line \xc2\xa0", "\\xc2\\x85next line \xc2\xa0"},  // C1 NEL escaped, NBSP kept
      {"\xff\xfe.jpg", "\\xff\\xfe.jpg"},
      {"cut \xe5\x86", "cut \\xe5\\x86"},  // a character cut short
      {"\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80",
       "\\xc0\\xaf \\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80"},  // overlong, surrogate, > U+10FFFF
      {"\xf0\x9f\x93\xb7 ok", "\xf0\x9f\x93\xb7 ok"},       // four bytes, valid
  };
  for (const Case& c : cases) {
    std::string out = "<";
    AppendEscapedField(out, c.Text);
    EXPECT_EQ(out, "<" + c.Escaped) << c.Escaped;
    EXPECT_EQ(Unescape(out.substr(1)), c.Text) << c.Escaped;
  }
}

TEST(ZmUtils, PathPieces) {
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExtractFileName("/a/b.c"), "b.c");
  EXPECT_EQ(ExtractFilePath("/a/b.c"), "/a/");
  EXPECT_EQ(ExtractFileExt("/a.d/b"), "");
  EXPECT_EQ(ExtractFileExt("/a/b.tar.gz"), ".gz");
}

}  // namespace
