#pragma once
// The core works on 8-bit Windows-1252 text (the text queue, the Morse table indexes,
// keybird.dat). Widgets and files hold Unicode; these functions convert at that border.

#include <cstdint>
#include <string>
#include <string_view>

namespace kb {

// The byte that a Unicode character with no Windows-1252 form becomes. 0x81 is one of
// the five unassigned bytes of the code page: it has no Morse code and is never typed,
// so such a character is skipped like any other code-less character (never "?").
inline constexpr unsigned char NoCp1252Byte = 0x81;

// Unicode code point of a Windows-1252 byte (the five unassigned bytes map to
// themselves, as C1 controls).
char32_t cp1252ToUnicode(unsigned char byte);

// Windows-1252 byte of a code point, or NoCp1252Byte.
unsigned char unicodeToCp1252(char32_t cp);

// UTF-8 <-> Windows-1252 strings.
std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view text);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(std::string_view bytes);

// A text file's bytes as Windows-1252: read as UTF-8 when valid (a leading BOM is
// dropped), else taken as Windows-1252 already.
std::string decodeTextFile(std::string_view bytes);

// ANSI case mapping of the code page, as used for local characters.
unsigned char upperCp1252(unsigned char c);
unsigned char lowerCp1252(unsigned char c);

}  // namespace kb
