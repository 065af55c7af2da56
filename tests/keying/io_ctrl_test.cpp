// The parallel port over ppdev, with a made-up /proc tree: addresses, the driver check and
// the status text. This machine has no parallel port, so no access can succeed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "keying/io_ctrl.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

class PpdevTest : public ::testing::Test {
protected:
    void SetUp() override {
        root =
            fs::temp_directory_path() /
            ("keybird-ppdev-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "proc");
        fs::create_directories(root / "dev");
    }
    void TearDown() override { fs::remove_all(root); }

    void addPort(int n, const std::string& baseAddr) {
        const fs::path dir = root / "proc" / ("parport" + std::to_string(n));
        fs::create_directories(dir);
        std::ofstream(dir / "base-addr") << baseAddr;
    }

    PpdevIOCtrl io() { return PpdevIOCtrl((root / "proc").string(), (root / "dev").string()); }

    fs::path root;
};

TEST(ParportBaseAddr, ReadsTheFirstNumber) {
    EXPECT_EQ(parseParportBaseAddr("888\t1912\n"), 0x378);
    EXPECT_EQ(parseParportBaseAddr("632\t1656\n"), 0x278);
    EXPECT_EQ(parseParportBaseAddr("  956\n"), 0x3BC);
    EXPECT_EQ(parseParportBaseAddr(""), 0);
    EXPECT_EQ(parseParportBaseAddr("x"), 0);
    EXPECT_EQ(parseParportBaseAddr("70000\n"), 0);  // no 16-bit port address
}

TEST_F(PpdevTest, AddressesOfLpt1ToLpt3ComeFromParport0To2) {
    addPort(0, "888\t1912\n");
    addPort(1, "632\t1656\n");
    PpdevIOCtrl lpt = io();
    EXPECT_EQ(lpt.GetLPTPortAddress(1), 0x378);
    EXPECT_EQ(lpt.GetLPTPortAddress(2), 0x278);
    EXPECT_EQ(lpt.GetLPTPortAddress(3), 0);
    EXPECT_EQ(lpt.GetLPTPortAddress(0), 0);
    EXPECT_EQ(lpt.GetLPTPortAddress(4), 0);
}

TEST_F(PpdevTest, DriverIsPresentWhenItsDeviceFilesAre) {
    PpdevIOCtrl lpt = io();
    EXPECT_FALSE(lpt.DriverPresent());
    std::ofstream(root / "dev" / "parport0") << "";
    EXPECT_TRUE(lpt.DriverPresent());
}

TEST_F(PpdevTest, AccessWithoutTheDeviceIsNoSuccess) {
    addPort(0, "888\t1912\n");
    PpdevIOCtrl lpt = io();
    EXPECT_EQ(lpt.GetLastState().find("succes"), std::string::npos);
    lpt.EnablePorts(0x378, 0x378);  // the proc entry exists, /dev/parport0 does not
    EXPECT_EQ(lpt.GetLastState().find("succes"), std::string::npos);
    EXPECT_EQ(lpt.Inport(0x37A), 0);
    EXPECT_EQ(lpt.GetLastState().find("succes"), std::string::npos);
    lpt.Outport(0x37A, 0x04);
    EXPECT_EQ(lpt.GetLastState().find("succes"), std::string::npos);
    lpt.EnablePorts(0x3BC, 0x3BC);  // no port has that base at all
    EXPECT_NE(lpt.GetLastState().find("ppdev"), std::string::npos);
    lpt.DisablePorts(0x3BC, 0x3BC);
}

// What the user is told when a stored port cannot be used: the device and why, even after
// the pin set-up's own accesses have failed in turn.
TEST_F(PpdevTest, AFailedOpenStaysTheReasonThroughLaterAccesses) {
    addPort(0, "888\t1912\n");
    addPort(1, "53248\n");  // D000h, a PCIe card
    PpdevIOCtrl lpt = io();
    EXPECT_EQ(lpt.GetLPTPortAddress(2), 0xD000);
    lpt.EnablePorts(0xD000, 0xD000);
    lpt.Inport(0xD002);
    lpt.Outport(0xD002, 0x04);
    const std::string state = lpt.GetLastState();
    EXPECT_NE(state.find("open failed: No such file or directory"), std::string::npos) << state;
    EXPECT_NE(state.find((root / "dev" / "parport1").string()), std::string::npos) << state;

    lpt.EnablePorts(0x3BC, 0x3BC);
    lpt.Outport(0x3BE, 0x04);
    EXPECT_NE(lpt.GetLastState().find("no parallel port has that base address"), std::string::npos)
        << lpt.GetLastState();
    EXPECT_EQ(lpt.GetLastState().find("parport1"), std::string::npos) << "no device was tried";
}

TEST(PpdevOnThisMachine, NoParallelPortMeansEveryAddressIsZero) {
    PpdevIOCtrl lpt;
    if (fs::exists("/proc/sys/dev/parport/parport0")) GTEST_SKIP() << "a parallel port exists";
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(lpt.GetLPTPortAddress(n), 0);
    EXPECT_TRUE(lpt.IsWinNT());  // access is claimed before use
}

}  // namespace
}  // namespace kb
