#include "link/TransferJob.h"

#include <cstring>

// Placeholder until the transfer thread lands.

TransferJob MakeTransferJob(const std::uint8_t deviceMac[6], const std::uint8_t adapterMac[6],
                            int kind, const std::string& configPath, const std::string& logoPath) {
    TransferJob job;
    std::memset(&job, 0, sizeof job);
    std::memcpy(job.deviceMac, deviceMac, 6);
    std::memcpy(job.adapterMac, adapterMac, 6);
    job.etherType[0] = job.etherType[1] = 0x62;
    job.kind = kind;
    std::strncpy(job.configPath, configPath.c_str(), sizeof job.configPath - 1);
    std::strncpy(job.logoPath, logoPath.c_str(), sizeof job.logoPath - 1);
    return job;
}

bool StartTransferJob(const TransferJob&) { return false; }
