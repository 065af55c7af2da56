#include <gtest/gtest.h>

#include <string>

#include "core/text_file.h"

namespace kb {
namespace {

using Status = TextFileResult::Status;

struct ReadCase {
    const char* name;
    std::string bytes;
    Status status;
    std::string text;  // UTF-8, as the box shows it
};

std::string nested(int depth) {
    return "{\\rtf1 a" + std::string(static_cast<std::size_t>(depth), '{') + "x" +
           std::string(static_cast<std::size_t>(depth), '}') + "b}";
}

const ReadCase kReadCases[] = {
    {"Utf8BomAndCrLf",
     "\xEF\xBB\xBF"
     "caf\xC3\xA9\r\nB",
     Status::Ok, "caf\xC3\xA9\nB"},
    {"EveryLineBreakKind", "A\rB\nC\r\n\r\nD", Status::Ok, "A\nB\nC\n\nD"},
    {"Windows1252", "caf\xE9 \x80", Status::Ok, "caf\xC3\xA9 \xE2\x82\xAC"},
    {"Utf16WithBom",
     std::string("\xFF\xFE"
                 "A\0\r\0\n\0\xAC\x20",
                 10),
     Status::Ok, "A\n\xE2\x82\xAC"},
    {"NulMeansBinary", std::string("AB\0CD", 5), Status::Binary, ""},
    {"TooLarge", std::string(MaxTextFileBytes + 1, 'e'), Status::TooLarge, ""},
    {"RtfTablesSkipped",
     "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red0\\green0;}"
     "{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}\\f0 Hello\\par World}",
     Status::Ok, "Hello\nWorld"},
    {"RtfEscapesInTheCodePage", "{\\rtf1 caf\\'e9 \\'80\\tab x\\line y\\~z}", Status::Ok,
     "caf\xC3\xA9 \xE2\x82\xAC\tx\ny\xC2\xA0z"},
    {"RtfAnsiCodePage", "{\\rtf1\\ansi\\ansicpg1251 \\'cc\\'e8\\'f0}", Status::Ok,
     "\xD0\x9C\xD0\xB8\xD1\x80"},
    {"RtfUnicodeWithFallback", "{\\rtf1\\uc2 a\\u233\\'3f\\'3fb\\uc0 \\u8364 c}", Status::Ok,
     "a\xC3\xA9"
     "b\xE2\x82\xAC"
     "c"},
    {"RtfSurrogatePair", "{\\rtf1 \\u-10179?\\u-8704?}", Status::Ok, "\xF0\x9F\x98\x80"},
    {"RtfLoneSurrogate", "{\\rtf1 \\u-10179?x}", Status::Ok, "\xEF\xBF\xBDx"},
    {"RtfIgnorableAndOtherDestinations",
     "{\\rtf1 A{\\*\\generator Foo;}{\\header H}{\\pict\\bin3 }{}}B{\\*\\unknown{x}}C}", Status::Ok,
     "ABC"},
    {"RtfEscapedSymbols", "{\\rtf1 \\{x\\}\\\\ y\\\r\nz}", Status::Ok, "{x}\\ y\nz"},
    {"RtfRawLineBreaksIgnored", "{\\rtf1 a\r\nb}", Status::Ok, "ab"},
    {"RtfExtraClosingBraces", "{\\rtf1 A}}}B", Status::Ok, "A"},
    {"RtfUnclosedGroups", "{\\rtf1 A{\\b B", Status::Ok, "AB"},
    {"RtfCutEscape", "{\\rtf1 A\\'4", Status::Ok, "A"},
    {"RtfCutControl", "{\\rtf1 A\\", Status::Ok, "A"},
    {"RtfHugeParameter", "{\\rtf1 \\u99999999999999999999999?A\\fs-99999999999999 B}", Status::Ok,
     "AB"},
    {"RtfAbsurdNesting", nested(200000), Status::Ok, "ab"},
    {"RtfShallowNesting", nested(10), Status::Ok, "axb"},
};

class ReadTextFile : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadTextFile, GivesTheTextOrRefuses) {
    const ReadCase& c = GetParam();
    const TextFileResult r = readTextFile(c.bytes);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(textFileRefusal(c.status).empty(), c.status == Status::Ok);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadTextFile, testing::ValuesIn(kReadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FileTextToPlay, JoinsLinesWithCrLfInWindows1252) {
    EXPECT_EQ(fileTextToPlay("AB\nCD\n"), "AB\r\nCD\r\n");
    EXPECT_EQ(fileTextToPlay("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
}

}  // namespace
}  // namespace kb
