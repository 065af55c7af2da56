#pragma once
// Text files as the file mode shows them and keybird-render reads them: the bytes of a
// plain or rich-text file become one UTF-8 text with "\n" line breaks. The file mode
// puts that text in its box; what either plays is fileTextToPlay() of it, so a file
// renders exactly as it plays. Qt-free; the bytes may be anything (the reader is fuzzed).

#include <cstddef>
#include <string>
#include <string_view>

namespace kb {

// Larger files are refused: a box of many megabytes would freeze the window for long,
// and no practice text comes near it.
inline constexpr std::size_t MaxTextFileBytes = 16u * 1024u * 1024u;
// A NUL byte within this many bytes from the start marks a binary file.
inline constexpr std::size_t BinaryProbeBytes = 8192;

struct TextFileResult {
    enum class Status { Ok, TooLarge, Binary };
    Status status = Status::Ok;
    std::string text;  // UTF-8, lines separated by "\n"; empty unless Ok
};

// The file's bytes as text: RTF (it begins with "{\rtf") through extractRtfText(); else
// UTF-8 when the bytes are valid UTF-8 (a BOM dropped), else Windows-1252. CR LF, CR and
// LF each become one "\n".
TextFileResult readTextFile(std::string_view bytes);

// A short English reason for a refused file, for the command line and the message box.
std::string textFileRefusal(TextFileResult::Status status);

// The plain text of an RTF document (UTF-8, "\n" line breaks): groups, control words and
// symbols, \par \line \tab, \'hh and 8-bit bytes in the document's code page (\ansicpg:
// 874 and 1250..1258 through iconv, 1252 when absent or another), \uN with its \ucN
// fallback count, and the destinations that hold no text (font and colour tables, style
// sheet, info, pictures, headers, footers, {\*...}) left out. Malformed input (unbalanced
// braces, cut escapes, deep nesting) gives what could be read; it never fails. Linear in
// the input, constant stack.
std::string extractRtfText(std::string_view rtf);

// What playing the box's text queues: Windows-1252, lines joined by CR LF.
std::string fileTextToPlay(std::string_view utf8Text);

}  // namespace kb
