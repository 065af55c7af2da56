#pragma once
// The program's command line: up to three switches, each a language ("/E", "/F", "/D",
// "/I", "/P", "/S"), a serial port ("/COM1".."/COM4") or a speed ("V=20": any letter,
// "=", a number). Case does not matter; anything else is ignored.

#include <optional>
#include <string>
#include <vector>

namespace kb {

struct CommandLine {
    std::optional<char> language;  // the LanguageCode letter of the last language switch
    std::optional<int> comPort;    // 1..4
    std::optional<int> speed;      // as given; the speed control keeps it within 5..50
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

}  // namespace kb
