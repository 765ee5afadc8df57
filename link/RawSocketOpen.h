#pragma once

// Opening the adapter socket: the one piece of the device link that needs
// CAP_NET_RAW. It uses libc and the kernel's headers only, so the privileged
// helper quorvantix-netopen compiles this file in and nothing else of ours.

#include <cstddef>

// Receive ring of the adapter socket (TPACKET_V2): slots sized for one frame
// of at most 1514 bytes with its headers, so a burst of several thousand
// answers fits whatever the system's socket-buffer limits are.
inline constexpr unsigned kRingFrameSize = 2048;
inline constexpr unsigned kRingBlockSize = 1u << 17; // 64 slots a block
inline constexpr unsigned kRingBlockCount = 128;     // 8192 slots, 16 MiB
inline constexpr unsigned kRingFrameCount = kRingBlockSize / kRingFrameSize * kRingBlockCount;
inline constexpr std::size_t kRingBytes = std::size_t{kRingBlockSize} * kRingBlockCount;

// True when name may be an interface name: 1..15 characters of letters,
// digits and ". _ - @ :" (no slash, no blank, not "." or ".."). reason gets
// the refusal otherwise.
bool CheckAdapterName(const char* name, char* reason, std::size_t reasonSize);

// Opens the socket for Ethernet frames of type 0x6262 on the named
// interface: checked (exists, Ethernet type, not loopback), bound to its
// index, promiscuous membership, own transmissions not looped back, a large
// receive buffer, a locked kernel filter admitting 0x6262 only, and the
// receive ring set up (the caller maps it). Returns the descriptor, or -1
// with reason set to a sentence for the operator and *permission (when given)
// set when the only obstacle was the missing privilege.
int OpenAdapterSocketFd(const char* name, char* reason, std::size_t reasonSize,
                        bool* permission = nullptr);
