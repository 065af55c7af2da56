#include "keying/port_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/nearest.h"

namespace kb {

std::uint16_t lptPinBit(int pinIndex) {
    static constexpr std::array<std::uint16_t, LptPinCount> bits = {1, 2, 4, 8};
    return pinIndex >= 0 && pinIndex < LptPinCount ? bits[static_cast<std::size_t>(pinIndex)] : 0;
}

bool keyDownSetsBit(int pinIndex, bool negativeLogic) {
    const bool pin16 = pinIndex == 2;
    return pin16 != negativeLogic;
}

std::uint16_t lptKeyDownValue(std::uint16_t image, int pinIndex, bool negativeLogic) {
    const std::uint16_t bit = lptPinBit(pinIndex);
    return keyDownSetsBit(pinIndex, negativeLogic) ? static_cast<std::uint16_t>(image | bit)
                                                   : static_cast<std::uint16_t>(image & ~bit);
}

std::uint16_t lptKeyUpValue(std::uint16_t image, int pinIndex, bool negativeLogic) {
    const std::uint16_t bit = lptPinBit(pinIndex);
    return keyDownSetsBit(pinIndex, negativeLogic) ? static_cast<std::uint16_t>(image & ~bit)
                                                   : static_cast<std::uint16_t>(image | bit);
}

std::string lptAddressText(std::uint16_t address) {
    char text[12];
    std::snprintf(text, sizeof text, "[%03Xh]", static_cast<unsigned>(address));
    return text;
}

std::optional<std::uint16_t> parseHexDigits(std::string_view digits) {
    if (digits.size() != 3 && digits.size() != 4) return std::nullopt;
    std::uint16_t value = 0;
    for (char c : digits) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = static_cast<std::uint16_t>(value * 16 + digit);
    }
    return value;
}

std::optional<std::uint16_t> parseLptAddressText(std::string_view text) {
    if ((text.size() != 6 && text.size() != 7) || text.front() != '[' ||
        text.substr(text.size() - 2) != "h]") {
        return std::nullopt;
    }
    return parseHexDigits(text.substr(1, text.size() - 3));
}

std::string lptUnusableText(int lptIndex, std::string_view reason) {
    std::string text = "LPT" + std::to_string(lptIndex) + " cannot be used: ";
    text += reason.empty() ? std::string_view("the port does not answer") : reason;
    text +=
        "\nLoad the parallel-port driver (sudo modprobe ppdev) and give your user access to "
        "/dev/parport* (on Debian: sudo adduser $USER lp, then log in again). Until then "
        "nothing is keyed on this port.";
    return text;
}

std::string comErrorDetail(int comIndex, std::string_view devicePath, int err) {
    std::string text(devicePath);
    text += ": ";
    text += std::strerror(err);
    const std::string n = std::to_string(comIndex);
    switch (err) {
        case EACCES:
        case EPERM:
            text +=
                ": add yourself to the dialout group (sudo adduser $USER dialout), then log "
                "in again.";
            break;
        case EBUSY: text += ": another program holds the port."; break;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTTY:
        case EIO:
            text += "\nA USB serial adapter is /dev/ttyUSB0 or /dev/ttyACM0: map COM" + n +
                    " to it with a line such as COMDEV" + n +
                    "=/dev/ttyUSB0 in keybird.dat (see the README, \"Keying a transmitter\").";
            break;
        default: break;
    }
    return text;
}

int txDelayMsForIndex(int index) {
    return 50 * (std::clamp(index, 0, TxDelayItems - 1) + 1);
}

int txDelayIndexForMs(int ms) {
    // The half-way values (75, 125 ms ...) are decided by where the half falls after
    // the subtraction: nearest(1.5 - 1) and nearest(1.5) - 1 differ.
    const int clamped = std::clamp(ms, 50, 250);
    return static_cast<int>(nearest(static_cast<Real>(clamped) / 50 - 1));
}

}  // namespace kb
