// Hides WWAN passwords and the Wi-Fi passphrase in protocol text before it is logged.
#pragma once

#include <QString>

namespace kvu::protocol {

// In every line of text (split at CR/LF, separators kept), a line "set <1-4|w> pw <value>" or
// "GET <1-4|w> pw <value>", in any letter case, gets a non-empty <value> replaced by the mask.
// Everything else, "pw_type" lines included, is returned unchanged.
QString maskSecretsForLog(const QString& text);

}  // namespace kvu::protocol
