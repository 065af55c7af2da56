// COM names, the device map, and what the termios lines refuse before touching a device.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "keying/serial_line.h"

namespace kb {
namespace {

TEST(ComDeviceMap, DefaultsToTheFirstFourUarts) {
    ComDeviceMap map;
    EXPECT_EQ(map.devicePath(1), "/dev/ttyS0");
    EXPECT_EQ(map.devicePath(4), "/dev/ttyS3");
    EXPECT_EQ(map.devicePath(0), "");
    EXPECT_EQ(map.devicePath(5), "");
    EXPECT_FALSE(map.isMapped(1));
}

TEST(ComDeviceMap, MapsAComItemToAnAdapterAndBack) {
    ComDeviceMap map;
    EXPECT_TRUE(map.setDevicePath(2, "/dev/ttyUSB0"));
    EXPECT_TRUE(map.setDevicePath(3, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"));
    EXPECT_EQ(map.devicePath(2), "/dev/ttyUSB0");
    EXPECT_TRUE(map.isMapped(2));
    EXPECT_EQ(map.devicePath(1), "/dev/ttyS0");
    EXPECT_TRUE(map.setDevicePath(2, ""));
    EXPECT_EQ(map.devicePath(2), "/dev/ttyS1");
    EXPECT_FALSE(map.isMapped(2));
}

TEST(ComDeviceMap, RefusesWhatIsNoDevicePath) {
    ComDeviceMap map;
    EXPECT_FALSE(map.setDevicePath(1, "ttyUSB0"));
    EXPECT_FALSE(map.setDevicePath(1, "/home/user/keybird.dat"));
    EXPECT_FALSE(map.setDevicePath(0, "/dev/ttyUSB0"));
    EXPECT_FALSE(map.setDevicePath(5, "/dev/ttyUSB0"));
    EXPECT_EQ(map.devicePath(1), "/dev/ttyS0");
}

TEST(ComPortNumber, ReadsTheFourNames) {
    EXPECT_EQ(comPortNumber("COM1"), 1);
    EXPECT_EQ(comPortNumber("COM4"), 4);
    EXPECT_EQ(comPortNumber("COM5"), 0);
    EXPECT_EQ(comPortNumber("    "), 0);
    EXPECT_EQ(comPortNumber("com1"), 0);
}

TEST(PosixSerialLines, RefusesDevicesThatAreNoTerminal) {
    PosixSerialLines lines;
    // /dev/null is a character device but no serial port; a plain file is neither.
    EXPECT_TRUE(static_cast<bool>(lines.open("/dev/null")));
    char file[] = "/tmp/keybird-serial-XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(static_cast<bool>(lines.open(file)));
    std::remove(file);
    EXPECT_EQ(lines.open("/dev/ttyS-keybird-missing").value(), ENOENT);
    EXPECT_FALSE(lines.isOpen());
}

TEST(PosixSerialLines, LineChangesWithoutAPortFailCleanly) {
    PosixSerialLines lines;
    EXPECT_EQ(lines.setDtr(), EBADF);
    EXPECT_EQ(lines.clearLines(BothLines), EBADF);
    EXPECT_EQ(lines.setLines(0), 0);  // nothing asked, nothing done
    lines.close();                    // closing twice is harmless
}

}  // namespace
}  // namespace kb
