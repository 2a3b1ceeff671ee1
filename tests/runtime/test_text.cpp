#include <gtest/gtest.h>

#include "files.h"
#include "text.h"

namespace kivo::runtime {
namespace {

const std::string kTitle = "温馨提示";  // four characters, twelve bytes in UTF-8

TEST(TextTest, LengthsAndCutsCountBytes) {
    EXPECT_EQ(textLength(kTitle), 12);
    EXPECT_EQ(textLength(""), 0);
    EXPECT_EQ(leftPart(kTitle, 3), "温");
    EXPECT_EQ(rightPart(kTitle, 6), "提示");
    // Cuts are byte cuts, even through a character.
    EXPECT_EQ(leftPart(kTitle, 4).size(), 4u);
    EXPECT_EQ(rightPart("a.mp3", 4), ".mp3");
}

TEST(TextTest, CutsBeyondTheTextOrNotPositive) {
    EXPECT_EQ(leftPart(kTitle, 100), kTitle);
    EXPECT_EQ(rightPart(kTitle, 100), kTitle);
    EXPECT_EQ(leftPart(kTitle, 0), "");
    EXPECT_EQ(rightPart(kTitle, 0), "");
    EXPECT_EQ(leftPart(kTitle, -5), "");
    EXPECT_EQ(rightPart(kTitle, -5), "");
}

TEST(TextTest, CompareIsBytewiseUnsignedAndCaseSensitive) {
    EXPECT_EQ(compareText("爱你.mp3", "爱你.mp3"), 0);
    EXPECT_NE(compareText("a.MP3", "a.mp3"), 0);
    EXPECT_GT(compareText("\xE4", "a"), 0);  // 0xE4 is above 'a' as an unsigned byte
    EXPECT_LT(compareText("ab", "abc"), 0);
    EXPECT_GT(compareText("abc", "ab"), 0);
    EXPECT_EQ(compareText("", ""), 0);
}

using Pieces = std::vector<std::string>;

TEST(SplitTest, EmptyPiecesKeptTrailingDelimiterAddsNothing) {
    EXPECT_EQ(splitText("a\r\n\r\nb\r\n", "\r\n"), (Pieces{"a", "", "b"}));
    EXPECT_EQ(splitText("a\r\nb", "\r\n"), (Pieces{"a", "b"}));
    EXPECT_EQ(splitText("\r\n", "\r\n"), (Pieces{""}));
    EXPECT_EQ(splitText("a\nb\n", "\r\n"), (Pieces{"a\nb\n"}));  // LF alone is no line end
}

TEST(SplitTest, EmptyTextCountZeroAndEmptyDelimiter) {
    EXPECT_TRUE(splitText("", "\r\n").empty());
    EXPECT_TRUE(splitText("a\r\nb", "\r\n", 0).empty());
    EXPECT_EQ(splitText("a\r\nb", ""), (Pieces{"a\r\nb"}));
}

TEST(SplitTest, MaximumCountStopsTheScan) {
    EXPECT_EQ(splitText("a,b,c", ",", 2), (Pieces{"a", "b"}));
    EXPECT_EQ(splitText("a,b,c", ",", 1), (Pieces{"a"}));
    EXPECT_EQ(splitText("a,b,c", ",", 3), (Pieces{"a", "b", "c"}));
}

TEST(SplitTest, Utf8ChineseLinesSplitAtEveryCrLf) {
    std::string text = "/音乐/我爱你.mp3\r\n/音乐/伤感.mp3\r\n";
    EXPECT_EQ(splitText(text, "\r\n"), (Pieces{"/音乐/我爱你.mp3", "/音乐/伤感.mp3"}));
}

TEST(SplitTest, DoubleByteRuleOnlyForGbk) {
    // A lead byte right before CR LF: under GBK the CR belongs to the character.
    std::string text = "\xB0\r\nX";
    EXPECT_EQ(splitText(text, "\r\n", kUnlimited, CodePage::Gbk), (Pieces{text}));
    EXPECT_EQ(splitText(text, "\r\n", kUnlimited, CodePage::Utf8), (Pieces{"\xB0", "X"}));
    // A lead byte as the very last byte does not run the scan past the end.
    EXPECT_EQ(splitText("a\r\n\xB0", "\r\n", kUnlimited, CodePage::Gbk), (Pieces{"a", "\xB0"}));
    EXPECT_EQ(localCodePage(), CodePage::Utf8);
}

TEST(SplitTest, JoinRestoresWhatSplitTook) {
    EXPECT_EQ(joinTexts({"a", "", "b"}), "ab");
    EXPECT_EQ(joinTexts({}), "");
}

TEST(ConversionTest, ToText) {
    EXPECT_EQ(toText(int32_t{-42}), "-42");
    EXPECT_EQ(toText(int32_t{0}), "0");
    EXPECT_EQ(toText(true), "真");
    EXPECT_EQ(toText(false), "假");
    EXPECT_EQ(toText(2.5), "2.5");
    EXPECT_EQ(bytesToText(std::string("ab\0cd", 5)), "ab");
    // A missing file reads as no bytes, which is the empty text.
    EXPECT_EQ(bytesToText(readWholeFile("/nonexistent/kivo/file")), "");
}

TEST(ConversionTest, ToIntegerTruncatesTowardZero) {
    EXPECT_EQ(toInteger(65535 / 2.0), 32767);
    EXPECT_EQ(toInteger(32767 / 655.35), 49);
    EXPECT_EQ(toInteger(65535 / 655.35), 100);
    EXPECT_EQ(toInteger(-2.9), -2);
}

TEST(ConversionTest, ToIntegerNeverOverflows) {
    EXPECT_EQ(toInteger(1e12), 2147483647);
    EXPECT_EQ(toInteger(-1e12), -2147483647 - 1);
    EXPECT_EQ(toInteger(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(toInteger("99999999999999999999"), 2147483647);
    EXPECT_EQ(toInteger("-99999999999999999999"), -2147483647 - 1);
}

TEST(ConversionTest, ToIntegerTakesTheLeadingNumber) {
    EXPECT_EQ(toInteger("37%"), 37);
    EXPECT_EQ(toInteger("  -12abc"), -12);
    EXPECT_EQ(toInteger("+7"), 7);
    EXPECT_EQ(toInteger("abc"), 0);
    EXPECT_EQ(toInteger(""), 0);
    EXPECT_EQ(toInteger("-"), 0);
}

}  // namespace
}  // namespace kivo::runtime
