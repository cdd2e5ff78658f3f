#pragma once
// The device's end of a pseudo-terminal, and the stable symlink that names the host's end.

#include <string>

namespace kvu::sim {

struct PtyPair {
    int master = -1;   // the device writes replies here (non-blocking)
    int slave = -1;    // kept open so a host that closes its end does not hang the line up
    std::string path;  // what the host opens
};

// Opens a pty with the slave in raw mode (no echo, no CR/LF translation).
bool openRawPty(PtyPair& pty, std::string& error);

// Closes both ends: the host sees a hang-up.
void closePty(PtyPair& pty);

// Points the symlink `link` at `target`, replacing an old link in one rename. Refuses to replace
// anything that is not a symlink.
bool pointLinkAt(const std::string& link, const std::string& target, std::string& error);

// Removes `link` if it is a symlink to `target`.
void removeLinkTo(const std::string& link, const std::string& target);

}  // namespace kvu::sim
