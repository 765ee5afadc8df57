#pragma once

#include <string>
#include <vector>

class AcTransmitManage;
class CSqlManagement;

// Pieces the commands of quorvantix-cli share.

// Prints text on stderr and gives kExitRefused.
int Refuse(const std::string& text);

// A decimal count of at most nine digits within [low, high].
bool ParseCount(const std::string& text, int low, int high, int& value);

// Selects the adapter whose interface name is `name` and starts the device
// link's threads on it; the receive thread listens when this returns.
// Gives kExitOk, else prints "<command>: ..." and gives the exit code.
int SelectAdapterNamed(AcTransmitManage& link, const std::string& name, const char* command);

// A search as the status page runs it: clear, one broadcast, one per second
// until `broadcasts` are sent, then one second more for late replies.
void SearchSegment(AcTransmitManage& link, CSqlManagement& store, int broadcasts);

// The MAC texts of every stored device, ordered by MAC.
std::vector<std::string> StoredMacs(CSqlManagement& store);
