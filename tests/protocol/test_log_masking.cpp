#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/log_masking.h"
#include "protocol/parser_log.h"

namespace kvu::protocol {
namespace {

TEST(LogMasking, SecretLinesAreMaskedEverythingElseStays) {
    struct Case {
        QString in;
        QString out;
    };
    const std::vector<Case> cases = {
        {"set 1 pw secret\r", "set 1 pw ********\r"},
        {"set 4 pw a b c\r", "set 4 pw ********\r"},
        {"set w pw passphrase\r", "set w pw ********\r"},
        {"SET W PW PASSPHRASE\r\n", "SET W PW ********\r\n"},
        {"Set 2 Pw x", "Set 2 Pw ********"},
        {"GET 3 pw hidden\r\n", "GET 3 pw ********\r\n"},
        {"get w pw hidden\r\n", "get w pw ********\r\n"},
        {"set 1 pw \r", "set 1 pw \r"},  // empty value stays empty
        {"set w pw_type 1\r", "set w pw_type 1\r"},
        {"GET w pw_type 0\r\n", "GET w pw_type 0\r\n"},
        {"set 1 apn pw x\r", "set 1 apn pw x\r"},
        {"set 5 pw x\r", "set 5 pw x\r"},
        {"set 0 pw x\r", "set 0 pw x\r"},
        {"set x pw y\r", "set x pw y\r"},
        {"set 1 pw\r", "set 1 pw\r"},
        {"set  1 pw x\r", "set  1 pw x\r"},
        {" set 1 pw x\r", " set 1 pw x\r"},
        {"put 1 pw x\r", "put 1 pw x\r"},
        {"VER 1.0\r\nMCUID 12\r\n", "VER 1.0\r\nMCUID 12\r\n"},
        {"", ""},
        {"GET 1 user bob\r\nGET 1 pw top\r\nGET 1 auth 1\r\n",
         "GET 1 user bob\r\nGET 1 pw ********\r\nGET 1 auth 1\r\n"},
        {"\r\n\nGET 2 pw a\rGET w pw b\nGET w pw_type 1",
         "\r\n\nGET 2 pw ********\rGET w pw ********\nGET w pw_type 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in.toStdString());
        EXPECT_EQ(maskSecretsForLog(c.in), c.out);
    }
}

TEST(ParserLog, TextsNameTheParserAndMaskTheCommand) {
    EXPECT_EQ(parserSendLogText("get\r"), "CKVUUtilityDlg::ParseRecvData send:[get\r]");
    EXPECT_EQ(parserSendLogText("set 2 pw hunter2\r"),
              "CKVUUtilityDlg::ParseRecvData send:[set 2 pw ********\r]");
    EXPECT_EQ(parserSendLogText("set w ssid Caf\u00e9\r"),
              "CKVUUtilityDlg::ParseRecvData send:[set w ssid Caf\xc3\xa9\r]");
    EXPECT_EQ(parserSetEventLogText(), "CKVUUtilityDlg::ParseRecvData SetEvent");
}

}  // namespace
}  // namespace kvu::protocol
