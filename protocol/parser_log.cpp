#include "protocol/parser_log.h"

#include <fmt/format.h>

#include "logging/log_format.h"
#include "protocol/log_masking.h"

namespace kvu::protocol {

std::string parserSendLogText(const QString& currentCmd) {
    return fmt::format(fmt::runtime(kSendLogFormat), kParseRecvDataName,
                       maskSecretsForLog(currentCmd));
}

std::string parserSetEventLogText() {
    return fmt::format(fmt::runtime(kSetEventLogFormat), kParseRecvDataName);
}

}  // namespace kvu::protocol
