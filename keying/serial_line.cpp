#include "keying/serial_line.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kb {

// ---- COM names and devices ---------------------------------------------------------------

std::string ComDeviceMap::defaultPath(int n) {
    if (n < 1 || n > Ports) return {};
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::string ComDeviceMap::devicePath(int n) const {
    if (n < 1 || n > Ports) return {};
    const std::string& own = mapped_[static_cast<std::size_t>(n - 1)];
    return own.empty() ? defaultPath(n) : own;
}

bool ComDeviceMap::setDevicePath(int n, std::string_view path) {
    if (n < 1 || n > Ports) return false;
    if (!path.empty() && path.substr(0, 5) != "/dev/") return false;
    mapped_[static_cast<std::size_t>(n - 1)] = std::string(path);
    return true;
}

bool ComDeviceMap::isMapped(int n) const {
    return n >= 1 && n <= Ports && !mapped_[static_cast<std::size_t>(n - 1)].empty();
}

int comPortNumber(std::string_view name) {
    if (name.size() != 4 || name.substr(0, 3) != "COM") return 0;
    const char d = name[3];
    return d >= '1' && d <= '4' ? d - '0' : 0;
}

// ---- PosixSerialLines --------------------------------------------------------------------

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// A terminal device under /dev/tty (after following links such as /dev/serial/by-id/...).
std::error_code checkDevice(const std::string& path) {
    char real[PATH_MAX];
    if (!realpath(path.c_str(), real)) return lastError();
    if (std::string_view(real).substr(0, 8) != "/dev/tty") {
        return std::make_error_code(std::errc::inappropriate_io_control_operation);
    }
    struct stat st {};
    if (stat(real, &st) != 0) return lastError();
    if (!S_ISCHR(st.st_mode)) return std::make_error_code(std::errc::no_such_device);
    return {};
}

}  // namespace

PosixSerialLines::~PosixSerialLines() {
    if (isOpen()) {
        (void)clearLines(BothLines);
        close();
    }
}

std::error_code PosixSerialLines::open(const std::string& devicePath) {
    close();
    if (auto ec = checkDevice(devicePath)) return ec;

    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return lastError();
    // The open itself raised DTR and RTS: drop them before anything else.
    int bits = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIC, &bits) != 0) {
        const auto ec = lastError();
        ::close(fd);
        return ec;
    }

    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        const auto ec = lastError();
        ::close(fd);
        return ec;
    }
    (void)ioctl(fd, TIOCEXCL);
    // Change the settings only where needed: the port may be a console that other code
    // relies on, and every tcsetattr reprograms the UART.
    const tcflag_t wanted = (tio.c_cflag & ~static_cast<tcflag_t>(CRTSCTS)) | HUPCL | CLOCAL;
    if (wanted != tio.c_cflag) {
        tio.c_cflag = wanted;
        if (tcsetattr(fd, TCSANOW, &tio) != 0 || ioctl(fd, TIOCMBIC, &bits) != 0) {
            const auto ec = lastError();
            ::close(fd);
            return ec;
        }
    }
    fd_.store(fd, std::memory_order_release);
    return {};
}

void PosixSerialLines::close() {
    const int fd = fd_.exchange(-1, std::memory_order_acq_rel);
    if (fd < 0) return;
    (void)ioctl(fd, TIOCNXCL);
    ::close(fd);
}

int PosixSerialLines::change(unsigned long request, std::uint8_t mask) {
    int bits = 0;
    if (mask & LineDtr) bits |= TIOCM_DTR;
    if (mask & LineRts) bits |= TIOCM_RTS;
    if (bits == 0) return 0;
    const int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0) return EBADF;
    return ioctl(fd, request, &bits) == 0 ? 0 : errno;
}

int PosixSerialLines::setLines(std::uint8_t mask) {
    return change(TIOCMBIS, mask);
}

int PosixSerialLines::clearLines(std::uint8_t mask) {
    return change(TIOCMBIC, mask);
}

}  // namespace kb
