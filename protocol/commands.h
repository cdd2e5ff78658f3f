// Command texts the utility sends to the KVU and the replies it knows by their exact bytes, plus
// the builders of the set lines that write one profile field each.
#pragma once

#include <QLatin1StringView>
#include <QString>
#include <string>
#include <vector>

#include "settings/profiles.h"

namespace kvu::protocol {

inline constexpr QLatin1StringView kCmdVersion{"ver\r"};
inline constexpr QLatin1StringView kCmdSerial{"serial\r"};
inline constexpr QLatin1StringView kCmdReadAll{"get\r"};
inline constexpr QLatin1StringView kCmdErase{"fe\r"};
inline constexpr QLatin1StringView kCmdCommit{"fw\r"};
inline constexpr QLatin1StringView kSetPrefix{"set "};

inline constexpr QLatin1StringView kReplyError{"ERROR\r\n"};
inline constexpr QLatin1StringView kReplyEraseOk{"FE OK\r\n"};
inline constexpr QLatin1StringView kReplyCommitOk{"FW OK\r\n"};

// WWAN fields in the order they are written to the device (not the record's order).
enum class WwanField { Apn, User, Password, Auth, Pdp };
// Wi-Fi fields in the order they are written to the device.
enum class WifiField { Ssid, Security, KeyFormat, Passphrase };

// "set <n> <keyword> <value>\r" for WWAN number n (1..4); the value goes out unchanged.
QString wwanSetLine(int n, WwanField field, const QString& value);
// "set w <keyword> <value>\r"; the value goes out unchanged.
QString wifiSetLine(WifiField field, const QString& value);

// One line of a Write: the command to send and the info message logged just before it.
struct SetLine {
    QString command;
    std::string logMessage;  // UTF-8; secrets already replaced by the mask
};

// The 24 set lines of a Write in send order: WWAN 1..4 (apn, user, pw, auth, pdp), then Wi-Fi
// (ssid, sec, pw_type, pw).
std::vector<SetLine> writeAllLines(const DeviceProfiles& profiles);

}  // namespace kvu::protocol
