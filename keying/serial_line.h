#pragma once
// The DTR and RTS lines of a serial port, which key the transmitter (CW) and switch it to
// send (PTT).
//
// Threads
//   GUI thread:   open, close, isOpen, and the line changes of PTT and release.
//   Timer thread: setLines/clearLines during a character's keying steps.
//   The keying code never opens or closes a port while its timer is armed, so the two
//   threads only ever meet on an open port; the kernel serialises concurrent ioctls on one
//   file descriptor. The descriptor itself is an atomic so the hand-over is race-free.
//   The line changes allocate nothing.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace kb {

// Line masks, as the PTT= and CW= settings store them.
inline constexpr std::uint8_t LineDtr = 1;
inline constexpr std::uint8_t LineRts = 2;
inline constexpr std::uint8_t BothLines = LineDtr | LineRts;

class SerialLines {
public:
    virtual ~SerialLines() = default;

    // Opens the device with DTR and RTS down. Any port open before is closed first.
    // An error code on failure (the GUI shows "Error COM").
    virtual std::error_code open(const std::string& devicePath) = 0;
    // Closes the port; the caller drops the lines first.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Raise or drop the lines of a mask (LineDtr | LineRts) in one step. 0, or the errno
    // of the failure: EIO, ENXIO or ENODEV when a USB adapter was pulled; EBADF when no
    // port is open.
    [[nodiscard]] virtual int setLines(std::uint8_t mask) = 0;
    [[nodiscard]] virtual int clearLines(std::uint8_t mask) = 0;

    [[nodiscard]] int setDtr() { return setLines(LineDtr); }
    [[nodiscard]] int clrDtr() { return clearLines(LineDtr); }
    [[nodiscard]] int setRts() { return setLines(LineRts); }
    [[nodiscard]] int clrRts() { return clearLines(LineRts); }
};

// Which device each of COM1..COM4 opens: /dev/ttyS0../dev/ttyS3 unless mapped to another
// one (a USB adapter: /dev/ttyUSB0, /dev/ttyACM0, /dev/serial/by-id/...). The settings keep
// the mapping as COMDEV1= .. COMDEV4=. GUI thread only.
class ComDeviceMap {
public:
    static constexpr int Ports = 4;

    // The device for COM n (1..4); empty for any other n.
    std::string devicePath(int n) const;
    // Maps COM n to a device; an empty path restores the default. False (and nothing
    // changes) for n outside 1..4 or a path that does not start with "/dev/".
    bool setDevicePath(int n, std::string_view path);
    // Whether COM n has a mapping of its own (what the settings need to write).
    bool isMapped(int n) const;
    static std::string defaultPath(int n);

private:
    std::array<std::string, Ports> mapped_{};
};

// "COM1".."COM4" -> 1..4; anything else 0.
int comPortNumber(std::string_view name);

// Serial lines over a Linux tty device file: termios plus TIOCMBIS/TIOCMBIC.
//
// Opening: O_NOCTTY | O_NONBLOCK (no controlling terminal, no wait for carrier), then DTR and
// RTS are dropped by the very next system call, because the kernel raises both on every
// open of a tty whose speed is not B0. Only then is the device checked and configured:
// exclusive use (TIOCEXCL), no hardware flow control (the driver would drive RTS itself),
// and HUPCL kept on so that the kernel drops DTR and RTS when the port is finally closed,
// also when the program dies with the key down. The device must be a terminal
// character device whose real name starts with /dev/tty; anything else is refused
// before it is opened (opening some devices has side effects of its own).
class PosixSerialLines final : public SerialLines {
public:
    PosixSerialLines() = default;
    ~PosixSerialLines() override;
    PosixSerialLines(const PosixSerialLines&) = delete;
    PosixSerialLines& operator=(const PosixSerialLines&) = delete;

    std::error_code open(const std::string& devicePath) override;
    void close() override;
    bool isOpen() const override { return fd_.load(std::memory_order_acquire) >= 0; }
    int setLines(std::uint8_t mask) override;
    int clearLines(std::uint8_t mask) override;

private:
    int change(unsigned long request, std::uint8_t mask);

    std::atomic<int> fd_{-1};
};

}  // namespace kb
