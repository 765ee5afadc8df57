#pragma once

#include <cstdint>
#include <string>

// Which files go to which device. Filled by the submitter, owned by the
// transfer thread once started. Bytes 0..13 are the Ethernet header of every
// data frame of the job.
struct TransferJob {
    std::uint8_t deviceMac[6];
    std::uint8_t adapterMac[6];
    std::uint8_t etherType[2]; // 0x62 0x62
    std::uint8_t zero[2];
    std::int32_t kind;    // 1 logo, 2 configuration, 3 (or anything else) both
    char configPath[260]; // UTF-8, zero-terminated; kinds 2 and 3
    char logoPath[260];   // UTF-8, zero-terminated; kinds 1 and 3
};
static_assert(sizeof(TransferJob) == 540);

// Zero-fills a job and sets both MACs, the EtherType, the kind and the paths
// (cut on a character boundary to fit).
TransferJob MakeTransferJob(const std::uint8_t deviceMac[6], const std::uint8_t adapterMac[6],
                            int kind, const std::string& configPath, const std::string& logoPath);

// Starts one detached transfer thread for the job (up to five attempts).
// Returns false when no thread could be started; the job's files are then
// marked TransmitFail in the record store.
bool StartTransferJob(const TransferJob& job);
