#pragma once
// The values behind the port panel: the LPT pins and their logic sense, the address texts
// of the LPT edits, and the TX delay items. Pure functions, any thread.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kb {

// RadioGroupPin items: "Pin 1", "Pin 14", "Pin 16", "Pin 17".
inline constexpr int LptPinCount = 4;
// The "Neg. logic" boxes as the panel first shows them: checked except for pin 16.
inline constexpr std::array<bool, LptPinCount> DefaultNegativeLogic = {true, true, false, true};

// The control-register bit a pin item drives: pin 1 bit 0, pin 14 bit 1, pin 16 bit 2,
// pin 17 bit 3 (as a value: 1, 2, 4, 8). 0 for an index outside 0..3.
std::uint16_t lptPinBit(int pinIndex);

// Key down sets the pin's bit (true) or clears it. On a PC parallel port bits 0, 1 and 3
// are inverted at the connector and bit 2 is not, so without negative logic key down
// drives every pin high: that clears bits 0, 1, 3 and sets bit 2.
bool keyDownSetsBit(int pinIndex, bool negativeLogic);

// The control register with the pin's bit at its key-down or key-up value; the other bits
// are those of the image.
std::uint16_t lptKeyDownValue(std::uint16_t image, int pinIndex, bool negativeLogic);
std::uint16_t lptKeyUpValue(std::uint16_t image, int pinIndex, bool negativeLogic);

// Three or four hexadecimal digits (either case) as a number; nothing when any is not
// one or there are fewer or more.
std::optional<std::uint16_t> parseHexDigits(std::string_view digits);

// The text of an LPT address edit: "[" + the address in upper-case hex, at least three
// digits + "h]", so 0x378 gives "[378h]" and a PCI card's 0xD000 "[D000h]".
std::string lptAddressText(std::uint16_t address);
inline constexpr int LptAddressTextMax = 7;  // "[D000h]"

// A typed address: exactly "[" + three or four hex digits + "h]" ("[278h]" -> 0x278,
// "[D000h]" -> 0xD000). Anything else, such as "[27h]" while it is being typed, gives
// nothing.
std::optional<std::uint16_t> parseLptAddressText(std::string_view text);

// The warning for a stored LPT n whose port could not be set up at start-up: the port
// layer's reason, then what usually mends it (the ppdev driver, the lp group).
std::string lptUnusableText(int lptIndex, std::string_view reason);

// The lines under "Error COM" for COM n (1..4) opened as `devicePath`, which failed with
// errno `err`: the device and the system's reason, then what usually mends it (the
// dialout group when access is denied; mapping the COM item to a USB adapter with a
// COMDEVn= line when there is no such serial port).
std::string comErrorDetail(int comIndex, std::string_view devicePath, int err);

// RadioGroupTXDelay: item i is 50 * (i + 1) ms, 0..4.
inline constexpr int TxDelayItems = 5;
inline constexpr int DefaultTxDelayIndex = 1;  // "100 ms"
int txDelayMsForIndex(int index);
// The item for a stored TXDELAY= value, nearest(ms / 50 - 1), halves to even, the value
// first brought into 50..250 so a hand-edited one still selects an item and the delay
// timer always fires. The settings reader and the port panel both go through it.
int txDelayIndexForMs(int ms);

}  // namespace kb
