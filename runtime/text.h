// Texts as the application sees them: byte strings in the local code page, where lengths,
// positions and cuts count bytes. On Linux the local code page is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::runtime {

// How a scan steps over characters. Under Gbk a byte of 0x80 or more starts a two-byte
// character; under Utf8 no delimiter byte can sit inside a character, so the scan steps bytes.
enum class CodePage { Utf8, Gbk };

// The code page of texts on this system.
CodePage localCodePage();

int32_t textLength(std::string_view text);
// The first / last min(n, length) bytes; empty when n <= 0.
std::string leftPart(std::string_view text, int32_t n);
std::string rightPart(std::string_view text, int32_t n);
// Byte-wise over unsigned bytes, case-sensitive: < 0, 0 or > 0.
int32_t compareText(std::string_view a, std::string_view b);

inline constexpr int32_t kUnlimited = -1;
// Pieces between delimiters, empty ones kept; a trailing delimiter adds nothing; at most
// maxCount pieces (kUnlimited for no limit, 0 for none).
std::vector<std::string> splitText(std::string_view text, std::string_view delimiter,
                                   int32_t maxCount = kUnlimited,
                                   CodePage codePage = localCodePage());
std::string joinTexts(const std::vector<std::string>& texts);

std::string toText(int32_t value);
std::string toText(double value);
std::string toText(bool value);  // "真" or "假"
// A byte array as text: the bytes up to the first zero byte.
std::string bytesToText(std::string_view bytes);

// Truncated toward zero; NaN gives 0 and values beyond the range saturate.
int32_t toInteger(double value);
// The leading decimal number (after blanks, with an optional sign); 0 when there is none.
// A number beyond the range saturates.
int32_t toInteger(std::string_view text);

}  // namespace kivo::runtime
