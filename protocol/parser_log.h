// The exact log texts that go with the response parser, for the layer that runs it.
#pragma once

#include <QString>
#include <string>

namespace kvu::protocol {

inline constexpr const char* kParseRecvDataName = "CKVUUtilityDlg::ParseRecvData";
inline constexpr const char* kSendLogFormat = "{} send:[{}]";     // debug, every handled call
inline constexpr const char* kSetEventLogFormat = "{} SetEvent";  // debug, complete version reply

// "CKVUUtilityDlg::ParseRecvData send:[<command>]" with any secret in the command masked.
std::string parserSendLogText(const QString& currentCmd);
// "CKVUUtilityDlg::ParseRecvData SetEvent".
std::string parserSetEventLogText();

}  // namespace kvu::protocol
