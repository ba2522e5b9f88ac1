#include "jpeg/ZmJpegInfoConsts.h"

namespace {

constexpr const char* ResultTexts[] = {
    "なし",                          // jrNoError
    "なし(付加バイナリ有り)",        // jrAppendedData
    "JPEGファイルが破損しています",  // jrDamaged
    "不明なエラー",                  // jrAnalysisFailed
    "ファイルが存在しません",        // jrFileNotFound
    "ファイルを開けません",          // jrCannotOpen
    "ファイルサイズが0 バイトです",  // jrEmptyFile
    "JPEGファイルではありません",    // jrNotJpeg
};

// Types 4, 8 and 12 are never reported (their markers are DHT, JPG and DAC), but keep a text.
constexpr const char* SofTypeTexts[] = {
    "ベースライン ハフマン圧縮",        // 0
    "拡張シーケンシャル ハフマン圧縮",  // 1
    "プログレッシブ ハフマン圧縮",      // 2
    "ロスレス ハフマン圧縮",            // 3
    "不明(SOF4)",                       // 4
    "微分シーケンシャル ハフマン圧縮",  // 5
    "微分プログレッシブ ハフマン圧縮",  // 6
    "微分ロスレス ハフマン圧縮",        // 7
    "不明(SOF8)",                       // 8
    "拡張シーケンシャル 算術圧縮",      // 9
    "プログレッシブ 算術圧縮",          // 10
    "ロスレス 算術圧縮",                // 11
    "不明(SOF12)",                      // 12
    "微分シーケンシャル 算術圧縮",      // 13
    "微分プログレッシブ 算術圧縮",      // 14
    "微分ロスレス 算術圧縮",            // 15
};

static_assert(sizeof ResultTexts / sizeof ResultTexts[0] == jrNotJpeg + 1);
static_assert(sizeof SofTypeTexts / sizeof SofTypeTexts[0] == 16);

}  // namespace

const char* JpegResultText(int result) {
  return result >= jrNoError && result <= jrNotJpeg ? ResultTexts[result] : "";
}

const char* JpegSofTypeText(int sofType) { return sofType >= 0 && sofType < 16 ? SofTypeTexts[sofType] : ""; }
