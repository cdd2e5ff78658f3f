#include "settings/profiles.h"

#include <climits>

namespace kvu {

QStringList authTypeItems() {
    return {"none", "CHAP", "PAP"};
}
QStringList pdpTypeItems() {
    return {"IPV4", "IPV6", "IPV4V6"};
}
QStringList securityItems() {
    return {"none", "WPA2-PSK (AES)"};
}
QStringList keyFormatItems() {
    return {"ASCII", "HEX"};
}

namespace {

bool isCSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

}  // namespace

int readDecimal(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isCSpace(text[i].unicode()))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
        ++i;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int selectionForDigit(const QString& text, int itemCount) {
    const int value = readDecimal(text);
    return value >= 0 && value < itemCount ? value : -1;
}

QString digitForSelection(int index) {
    return QString::number(index);
}

QString groupName(int nNo) {
    if (nNo >= 0 && nNo < kWwanCount)
        return QStringLiteral("WWAN%1").arg(nNo + 1);
    if (nNo == kWifiGroup)
        return QStringLiteral("Wi-Fi");
    return {};
}

}  // namespace kvu
