// Where the setups of missing programs are fetched: two anonymous FTP
// servers, tried in order. The machine-wide setting "ComponentServers" under
// "Settings" may name others, as "host[:port]" or two of them separated by a
// comma.
#pragma once

#include "files/TextBuffer.h"

// The maker's servers, used when the setting is not there.
constexpr const char* COMPONENT_SERVERS_DEFAULT = "ftp.talmarin.com,ftp2.talmarin.com";
constexpr int COMPONENT_SERVERS_MAX = 2;
constexpr unsigned short FTP_PORT = 21;

// Splits the setting into its servers, white space around each removed;
// returns how many there are (empty entries and those past the second are
// dropped).
int SplitComponentServers(const char* text, char (&servers)[COMPONENT_SERVERS_MAX][TEXT_BUFFER_SIZE]);

// "host" or "host:port" into the host and the port (`defaultPort` without
// one); false when the host is empty or the port is not a number from 1 to
// 65535.
bool SplitServerAddress(const char* server, unsigned short defaultPort, char (&host)[TEXT_BUFFER_SIZE],
                        unsigned short& port);
