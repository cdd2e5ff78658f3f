// The four identity tests on one port, their debug lines, and the order of what is appended.
#include "discovery/port_match.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kvu {
namespace {

using test::LogCapture;
using Lines = std::vector<std::string>;

const std::string kNotHub2 = "CGetComList::EnumKVUCommPort not HUB2";
const std::string kNotKvu1 = "CGetComList::EnumKVUCommPort not KVU1";
const std::string kNotKvu2 = "CGetComList::EnumKVUCommPort not KVU2";

constexpr const char* kHub = R"(USB\VID_1A40&PID_0201\5&2A1B3C&0&1)";
constexpr const char* kKvu = R"(USB\VID_0483&PID_5740&REV_0200)";

struct MatchCase {
    const char* name;
    const char* parent;
    const char* hardwareId;
    bool matches;
    Lines log;
};

const MatchCase kMatchCases[] = {
    {"DeviceBehindItsHub", kHub, kKvu, true, {"Add COM5"}},
    // The device test is not reached when the hub fails.
    {"HubWithOtherProduct",
     R"(USB\VID_1A40&PID_0101\1-1)",
     R"(USB\VID_1234&PID_0000)",
     false,
     {kNotHub2, R"(USB\VID_1A40&PID_0101\1-1)"}},
    {"HubWithOtherVendor", R"(USB\VID_05E3&PID_0201\1-1)", kKvu, false, {}},
    {"NoParentAtAll", "", kKvu, false, {}},
    {"DeviceWithOtherVendor",
     kHub,
     R"(USB\VID_1234&PID_5740&REV_0200)",
     false,
     {kNotKvu1, R"(USB\VID_1234&PID_5740&REV_0200)"}},
    {"DeviceWithOtherProduct",
     kHub,
     R"(USB\VID_0483&PID_DF11&REV_2200)",
     false,
     {kNotKvu2, R"(USB\VID_0483&PID_DF11&REV_2200)"}},
    {"EmptyHardwareId", kHub, "", false, {kNotKvu1, ""}},
    {"LowerCaseHubVendor", R"(USB\vid_1a40&pid_0201\1-1)", kKvu, false, {}},
    {"LowerCaseHubProduct",
     R"(USB\VID_1A40&pid_0201\1-1)",
     kKvu,
     false,
     {kNotHub2, R"(USB\VID_1A40&pid_0201\1-1)"}},
    {"LowerCaseDeviceVendor",
     kHub,
     R"(usb\vid_0483&pid_5740&rev_0200)",
     false,
     {kNotKvu1, R"(usb\vid_0483&pid_5740&rev_0200)"}},
    {"LowerCaseDeviceProduct",
     kHub,
     R"(USB\VID_0483&pid_5740&REV_0200)",
     false,
     {kNotKvu2, R"(USB\VID_0483&pid_5740&REV_0200)"}},
    // Substrings anywhere, in any order.
    {"IdsInOtherPlaces", "PID_0201+VID_1A40", "xPID_5740VID_0483x", true, {"Add COM5"}},
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.name;
}

class PortMatch : public testing::TestWithParam<MatchCase> {};

TEST_P(PortMatch, DecidesAndLogsAtDebug) {
    const MatchCase& c = GetParam();
    LogCapture log;
    const SerialPortInfo port{
        "COM5", QString::fromUtf8(c.parent), QString::fromUtf8(c.hardwareId), {}};
    EXPECT_EQ(matchKvuPort(port), c.matches);
    EXPECT_EQ(log.texts(), c.log);
    for (const auto& line : log.lines()) {
        EXPECT_EQ(line.level, spdlog::level::debug) << line.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PortMatch, testing::ValuesIn(kMatchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortMatch, HubTestAloneLogsOnlyTheHubLines) {
    LogCapture log;
    EXPECT_TRUE(matchKvuHub(kHub));
    EXPECT_TRUE(log.texts().empty());
    EXPECT_FALSE(matchKvuHub(R"(USB\VID_05E3&PID_0608\1-1)"));
    EXPECT_TRUE(log.texts().empty());
    EXPECT_FALSE(matchKvuHub(R"(USB\VID_1A40&PID_0101\1-1)"));
    EXPECT_EQ(log.texts(), (Lines{kNotHub2, R"(USB\VID_1A40&PID_0101\1-1)"}));
}

TEST(PortMatch, AppendsMatchesInGivenOrderAndCountsThem) {
    const std::vector<SerialPortInfo> ports = {
        {"COM3", R"(ACPI\PNP0A08\0)", R"(ACPI\PNP0501)", {}},
        {"COM9", kHub, kKvu, {}},
        {"COM4", kHub, R"(USB\VID_0483&PID_DF11&REV_2200)", {}},
        {"COM7", R"(USB\VID_1A40&PID_0201\1-2)", R"(USB\VID_0483&PID_5740&REV_0100)", {}},
    };
    QStringList out{"kept"};
    LogCapture log;
    EXPECT_EQ(matchKvuPorts(ports, out), 2);
    EXPECT_EQ(out, (QStringList{"kept", "COM9", "COM7"}));
    EXPECT_EQ(log.texts(),
              (Lines{"Add COM9", kNotKvu2, R"(USB\VID_0483&PID_DF11&REV_2200)", "Add COM7"}));
}

TEST(PortMatch, NothingToAppendLeavesTheListAlone) {
    QStringList out{"kept"};
    EXPECT_EQ(matchKvuPorts({}, out), 0);
    EXPECT_EQ(matchKvuPorts({{"COM3", R"(ACPI\PNP0A08\0)", "", {}}}, out), 0);
    EXPECT_EQ(out, QStringList{"kept"});
}

}  // namespace
}  // namespace kvu
