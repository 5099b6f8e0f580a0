#include "app/settings/PortMap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/app/settings/TempFolder.h"

namespace orvex::test {
namespace {

using PortMapTest = TempFolder;

TEST_F(PortMapTest, MappingsAreWrittenAndReadBack) {
    const std::string path = CPortMap::PathIn(dir);
    EXPECT_EQ(path, dir + "OrvexPorts.conf");
    CPortMap map;
    std::string error;
    ASSERT_TRUE(map.Load(path, error)) << "a missing file is an empty map";
    EXPECT_EQ(map.Device(1), "");

    const std::string byId = "/dev/serial/by-id/usb-Maker_USB-Serial_Controller_0123-if00-port0";
    ASSERT_TRUE(map.SetDevice(1, byId));
    ASSERT_TRUE(map.SetDevice(3, "/dev/pts/7"));
    ASSERT_TRUE(map.Save(path, error)) << error;
    EXPECT_EQ(Names(), std::vector<std::string>{"OrvexPorts.conf"}) << "no temporary file left";

    CPortMap again;
    ASSERT_TRUE(again.Load(path, error)) << error;
    EXPECT_EQ(again.Device(1), byId) << "the stable name stays that name";
    EXPECT_EQ(again.Device(2), "");
    EXPECT_EQ(again.Device(3), "/dev/pts/7");
    EXPECT_EQ(again.Text(), map.Text());

    // Removing a mapping takes its line out; COM1 opens /dev/ttyS0 again.
    ASSERT_TRUE(again.SetDevice(1, ""));
    ASSERT_TRUE(again.Save(path, error));
    EXPECT_EQ(Get(path).find("COM1="), std::string::npos);
    EXPECT_EQ(CPortMap::DefaultDevice(1), "/dev/ttyS0");
    EXPECT_EQ(CPortMap::DefaultDevice(4), "/dev/ttyS3");
}

TEST_F(PortMapTest, OnlyMappingsOfTheFourPortsToFullPathsAreTaken) {
    CPortMap map;
    map.Parse(
        "# a comment\r\n"
        "COM2=/dev/ttyUSB0\r\n"
        "\n"
        "COM5=/dev/ttyUSB1\n"
        "COM0=/dev/ttyUSB2\n"
        "COM3=ttyUSB3\n"
        "com4=/dev/ttyUSB4\n"
        "COM4 = /dev/ttyUSB4\n"
        "COM1=\n"
        "COM4=/dev/ttyACM0");
    EXPECT_EQ(map.Device(1), "");
    EXPECT_EQ(map.Device(2), "/dev/ttyUSB0") << "a CR LF line end is not part of the path";
    EXPECT_EQ(map.Device(3), "");
    EXPECT_EQ(map.Device(4), "/dev/ttyACM0");
    EXPECT_EQ(map.Device(0), "");
    EXPECT_EQ(map.Device(5), "");

    EXPECT_FALSE(map.SetDevice(5, "/dev/ttyUSB0"));
    EXPECT_FALSE(map.SetDevice(1, "relative/tty"));
    EXPECT_FALSE(map.SetDevice(1, "/dev/tty\nCOM2=/etc/passwd")) << "one line per mapping";
    EXPECT_EQ(map.Device(1), "");
}

TEST_F(PortMapTest, AFailedSaveKeepsTheOldFile) {
    if (RunningAsRoot()) {
        // Root writes into a read-only folder; a full file system stands in for it here.
        const std::string path = CPortMap::PathIn(dir);
        Put(path, "COM1=/dev/ttyUSB0\n");
        CPortMap map;
        map.SetDevice(1, "/dev/ttyUSB1");
        std::string error;
        {
            const FileSizeLimit limit(16);
            EXPECT_FALSE(map.Save(path, error));
        }
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(Get(path), "COM1=/dev/ttyUSB0\n");
        EXPECT_EQ(Names(), std::vector<std::string>{"OrvexPorts.conf"});
        return;
    }
    const std::string path = CPortMap::PathIn(dir);
    Put(path, "COM1=/dev/ttyUSB0\n");
    chmod(dir.c_str(), 0500);
    CPortMap map;
    map.SetDevice(1, "/dev/ttyUSB1");
    std::string error;
    EXPECT_FALSE(map.Save(path, error));
    chmod(dir.c_str(), 0700);
    EXPECT_EQ(Get(path), "COM1=/dev/ttyUSB0\n");
}

}  // namespace
}  // namespace orvex::test
