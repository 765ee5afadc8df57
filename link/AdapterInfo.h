#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of the adapter list, 924 bytes in the fixed layout the rest of the
// device link and the status page rely on.
struct AdapterRecord {
    std::uint8_t kind;               // 0 in a list entry; 1 in a node of the information layer
    std::uint8_t hardwareAddress[8]; // first six bytes: the adapter's MAC
    char description[132];           // UTF-8, zero-terminated; shown to the operator
    char adapterName[260]; // UTF-8, zero-terminated; a substring of the capture device name
    std::uint8_t gap[3];
    std::uint8_t further[484]; // copied, not interpreted
    std::uint8_t further2[32]; // copied, not interpreted
    std::uint8_t link[4];      // always 0
};
static_assert(sizeof(AdapterRecord) == 924);

// The adapter-information layer: one node per network interface of the
// calling thread's network namespace, in interface-index order. Kind 1 marks
// Ethernet-type interfaces other than loopback; every other interface carries
// kind 2. Description: the driver's name when known, else the interface name.
std::vector<AdapterRecord> ReadLocalAdapterNodes();

// The adapter list made from the layer's nodes: only nodes of kind 1, each
// copied with byte 0, the gap (401..403) and the link (920..923) left zero.
std::vector<AdapterRecord> AdapterListFromNodes(const std::vector<AdapterRecord>& nodes);

// The chooser text of the status page: description, " (", MAC in upper case, ")".
std::string AdapterChooserText(const AdapterRecord& record);

// The capture device for an adapter name, as an index into deviceNames: the
// device named exactly so, else (a capture name that carries a prefix or
// suffix of its library) the first whose name contains it; -1 when none does
// or the name is empty. "ab1" takes "ab1" even when "zab1" is listed first.
int PickCaptureDevice(const std::vector<std::string>& deviceNames, const std::string& adapterName);
