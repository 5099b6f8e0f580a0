#include "link/SerialDevices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/TestFolder.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

// A machine of our own making: a sysfs tty class with the device directories behind it, a
// /dev with the nodes (plain files stand in for them) and /dev/serial/by-id, laid out as the
// kernel and udev lay them out, relative links included.
class SerialDevicesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = m_folder.Path();
        ASSERT_FALSE(root.empty());
        roots.sysClassTty = root + "/sys/class/tty";
        roots.byId = root + "/dev/serial/by-id";
        roots.dev = root + "/dev";
    }

    void Put(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        std::ofstream(root + "/" + path) << text;
    }
    void Link(const std::string& target, const std::string& path) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        fs::create_symlink(target, root + "/" + path);
    }
    // A USB adapter: the USB device dir with its attributes, one interface, the tty under it
    // and the class entry that leads there. `attributes` holds name=value pairs.
    void UsbTty(const std::string& tty, const std::string& usbDir,
                const std::vector<std::pair<std::string, std::string>>& attributes,
                bool deviceIsInterface) {
        const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbDir;
        for (const auto& [name, value] : attributes) {
            Put(usb + "/" + name, value + "\n");
        }
        const std::string interface = usb + "/" + usbDir + ":1.0";
        Put(interface + "/bInterfaceNumber", "00\n");
        // ttyUSB: the tty hangs under a port directory of the interface; ttyACM: under the
        // interface itself.
        const std::string parent = deviceIsInterface ? interface : interface + "/" + tty;
        const std::string ttyDir = parent + "/tty/" + tty;
        Put(ttyDir + "/dev", "188:0\n");
        Link(deviceIsInterface ? "../../../" + usbDir + ":1.0" : "../../../" + tty,
             ttyDir + "/device");
        Link("../../" + ttyDir.substr(std::string("sys/").size()), "sys/class/tty/" + tty);
        Put("dev/" + tty, "");
    }
    // A built-in UART of the given type (0: nothing there), with or without its node.
    void Uart(const std::string& tty, const std::string& type, bool node = true) {
        Put("sys/devices/platform/serial8250/tty/" + tty + "/type", type + "\n");
        Link("../../../serial8250", "sys/devices/platform/serial8250/tty/" + tty + "/device");
        Link("../../devices/platform/serial8250/tty/" + tty, "sys/class/tty/" + tty);
        if (node) {
            Put("dev/" + tty, "");
        }
    }
    // The whole machine: a Prolific adapter with a by-id name, an Arduino-like ACM device
    // that gives only its ids, an FTDI adapter without a by-id name, four UARTs of which one
    // is empty and one has no node, a board's UART, a virtual console and a dangling by-id link.
    void Machine() {
        UsbTty("ttyUSB0", "1-1",
               {{"idVendor", "067b"},
                {"idProduct", "2303"},
                {"product", "USB-Serial Controller"},
                {"manufacturer", "Prolific Technology Inc. "},
                {"serial", "0123"}},
               false);
        UsbTty("ttyACM0", "1-2", {{"idVendor", "2341"}, {"idProduct", "0043"}}, true);
        UsbTty("ttyUSB1", "1-3",
               {{"idVendor", "0403"}, {"idProduct", "6001"}, {"product", "FT232R USB UART"}},
               false);
        Uart("ttyS10", "4");
        Uart("ttyS2", "4");
        Uart("ttyS1", "0");
        Uart("ttyS0", "4");
        Uart("ttyS3", "4", false);
        Uart("ttyAMA0", "0");  // a board's UART: the type rule is for ttyS only
        Put("sys/devices/virtual/tty/tty0/dev", "4:0\n");
        Link("../../devices/virtual/tty/tty0", "sys/class/tty/tty0");
        Put("dev/tty0", "");
        Link("../../ttyUSB0", "dev/serial/by-id/" + kProlificId);
        Link("../../ttyUSB7", "dev/serial/by-id/usb-Gone_Adapter-if00-port0");
    }

    const std::string kProlificId =
        "usb-Prolific_Technology_Inc._USB-Serial_Controller_0123-if00-port0";
    std::string root;
    CSerialDevices::SRoots roots;

  private:
    CTestFolder m_folder{"serial-test"};
};

TEST_F(SerialDevicesTest, ListsTheDevicesWithTheirDescriptionsInOrder) {
    Machine();
    const std::vector<SSerialDevice> devices = CSerialDevices::List(roots);
    const std::string dev = roots.dev + "/";
    ASSERT_EQ(devices.size(), 7u);

    EXPECT_EQ(devices[0].path, roots.byId + "/" + kProlificId);
    EXPECT_EQ(devices[0].kernelPath, dev + "ttyUSB0");
    EXPECT_EQ(devices[0].description,
              "USB-Serial Controller, Prolific Technology Inc., serial 0123");
    EXPECT_EQ(devices[0].usbId, "067b:2303");

    EXPECT_EQ(devices[1].path, dev + "ttyACM0");
    EXPECT_EQ(devices[1].kernelPath, dev + "ttyACM0");
    EXPECT_EQ(devices[1].description, "USB device 2341:0043");
    EXPECT_EQ(devices[1].usbId, "2341:0043");

    EXPECT_EQ(devices[2].path, dev + "ttyUSB1");
    EXPECT_EQ(devices[2].description, "FT232R USB UART");
    EXPECT_EQ(devices[2].usbId, "0403:6001");

    // Built-in ports: no USB device above them, nothing to describe; ttyS1 (type 0) and ttyS3
    // (no node) are left out, and so is the virtual console.
    EXPECT_EQ(devices[3].path, dev + "ttyS0");
    EXPECT_EQ(devices[4].path, dev + "ttyS2");
    EXPECT_EQ(devices[5].path, dev + "ttyS10");
    EXPECT_EQ(devices[6].path, dev + "ttyAMA0");
    for (size_t i = 3; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].path, devices[i].kernelPath);
        EXPECT_EQ(devices[i].description, "");
        EXPECT_EQ(devices[i].usbId, "");
    }
}

TEST_F(SerialDevicesTest, AUartWithoutATypeFileIsKept) {
    Uart("ttyS4", "4");
    fs::remove(roots.sysClassTty + "/ttyS4/type");
    const auto devices = CSerialDevices::List(roots);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].kernelPath, roots.dev + "/ttyS4");
}

TEST_F(SerialDevicesTest, FindsADeviceByNodeByIdLinkOrAnyOtherLink) {
    Machine();
    const std::string byId = roots.byId + "/" + kProlificId;
    for (const std::string& path : {roots.dev + "/ttyUSB0", byId}) {
        const auto device = CSerialDevices::Find(path, roots);
        ASSERT_TRUE(device) << path;
        EXPECT_EQ(device->path, byId);
        EXPECT_EQ(device->usbId, "067b:2303");
    }
    Link("dev/ttyUSB1", "pager-link");
    const auto linked = CSerialDevices::Find(root + "/pager-link", roots);
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->kernelPath, roots.dev + "/ttyUSB1");
    const auto uart = CSerialDevices::Find(roots.dev + "/ttyS2", roots);
    ASSERT_TRUE(uart);
    EXPECT_EQ(uart->path, roots.dev + "/ttyS2");

    EXPECT_FALSE(CSerialDevices::Find(roots.dev + "/ttyS1", roots));  // no UART there
    EXPECT_FALSE(CSerialDevices::Find(roots.dev + "/tty0", roots));   // virtual
    EXPECT_FALSE(CSerialDevices::Find(roots.byId + "/usb-Gone_Adapter-if00-port0", roots));
    EXPECT_FALSE(CSerialDevices::Find(roots.dev + "/ttyUSB9", roots));
    EXPECT_FALSE(CSerialDevices::Find("", roots));

    EXPECT_EQ(CSerialDevices::Resolve(byId), fs::canonical(roots.dev + "/ttyUSB0").string());
    EXPECT_EQ(CSerialDevices::Resolve(roots.byId + "/usb-Gone_Adapter-if00-port0"), "");
}

TEST_F(SerialDevicesTest, NothingPresentGivesAnEmptyList) {
    EXPECT_TRUE(CSerialDevices::List(roots).empty());  // the folders do not exist
    fs::create_directories(roots.sysClassTty);
    fs::create_directories(roots.byId);
    EXPECT_TRUE(CSerialDevices::List(roots).empty());  // they exist, empty
    // Hardware in sysfs, but no node for it here (a container looking at the host's sysfs).
    Machine();
    for (const char* node :
         {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "ttyS2", "ttyS10", "ttyAMA0"}) {
        fs::remove(roots.dev + "/" + node);
    }
    EXPECT_TRUE(CSerialDevices::List(roots).empty());
    EXPECT_FALSE(CSerialDevices::Find(roots.byId + "/" + kProlificId, roots));
}

TEST_F(SerialDevicesTest, AByIdFolderWithoutSysfsAddsNothing) {
    Put("dev/ttyUSB0", "");
    Link("../../ttyUSB0", "dev/serial/by-id/" + kProlificId);
    EXPECT_TRUE(CSerialDevices::List(roots).empty());
}

TEST(SerialDevicesNames, NaturalOrderComparesNumbersByValue) {
    EXPECT_TRUE(CSerialDevices::NaturalLess("ttyS2", "ttyS10"));
    EXPECT_FALSE(CSerialDevices::NaturalLess("ttyS10", "ttyS2"));
    EXPECT_TRUE(CSerialDevices::NaturalLess("ttyACM9", "ttyUSB0"));
    EXPECT_TRUE(CSerialDevices::NaturalLess("ttyS", "ttyS0"));
    EXPECT_TRUE(CSerialDevices::NaturalLess("a2b1", "a2b03"));
    EXPECT_FALSE(CSerialDevices::NaturalLess("ttyS3", "ttyS3"));
    // Equal numbers written differently still have a strict order.
    EXPECT_NE(CSerialDevices::NaturalLess("ttyS01", "ttyS1"),
              CSerialDevices::NaturalLess("ttyS1", "ttyS01"));
}

TEST(SerialDevicesNames, DisplayTextAddsTheDescriptionWhenKnown) {
    SSerialDevice device{"/dev/ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "0403:6001"};
    EXPECT_EQ(device.DisplayText(), "/dev/ttyUSB0  (FT232R USB UART)");
    device.description.clear();
    EXPECT_EQ(device.DisplayText(), "/dev/ttyUSB0");
}

// The machine the tests run on: whatever it has, each device listed has a node, and nothing
// virtual is among them.
TEST(SerialDevicesSystem, ListsOnlyReachableHardware) {
    for (const SSerialDevice& device : CSerialDevices::List()) {
        struct stat st {};
        EXPECT_EQ(::stat(device.kernelPath.c_str(), &st), 0) << device.kernelPath;
        EXPECT_EQ(device.kernelPath.find("/dev/pts/"), std::string::npos);
        EXPECT_NE(device.kernelPath, "/dev/console");
        EXPECT_TRUE(CSerialDevices::Find(device.path)) << device.path;
    }
}

}  // namespace
}  // namespace orvex::test
