// Arbitrary bytes as keybird.dat: reading never crashes or hangs, and what the writer
// makes of a read file is a fixed point. Reading it back gives the same settings
// (apart from a hand-edited NOTE= between two track-bar steps, whose exact pitch the
// file cannot hold), and writing those gives the same bytes again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/settings_file.h"
#include "core/morse.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    kb::Settings first;
    const bool used = kb::readSettings(input, first);
    if (!used) check(first == kb::Settings{});

    const std::string written = kb::writeSettings(first);
    kb::Settings second;
    check(kb::readSettings(written, second));  // a written file always has its marker line

    // The file holds the track-bar position's pitch, and NOTE=-1 leaves the pitch alone.
    check(second.tonePitch == (second.notePosition >= 0
                                   ? kb::pitchOfNotePosition(second.notePosition)
                                   : kb::Settings{}.tonePitch));
    kb::Settings expected = first;
    expected.tonePitch = second.tonePitch;
    check(second == expected);
    check(kb::writeSettings(second) == written);

    kb::MorseTable morse;
    kb::CharacterList list;
    kb::applyLocalCharacters(second, morse, list);
    check(list.localCount == static_cast<int>(second.localCharacterRows.size()));
    for (const std::string& row : second.localCharacterRows) {
        const unsigned char c = kb::localRowCharacter(row);
        check(morse[c] == kb::localRowCode(row));
        check(!morse[c].empty() && morse[c].size() <= kb::LocalCodeMax);
    }
    kb::lptAddressFromText(second.lptAddressText);
    return 0;
}
