#pragma once

#include "records/CSqlManagement.h"
#include "screens/ScreenSeams.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qvtest {

// The device link of a page test: adapters from a list, every call counted,
// jobs kept instead of started. Nothing reaches a network interface.
class FakeScreenLink : public ScreenLink {
public:
    std::vector<AdapterRecord> adapters;
    std::vector<std::string> selected; // adapter names, in selection order
    int clears = 0;
    int discoveries = 0;
    std::vector<TransferJob> jobs;
    std::string error; // LinkError()
    // What TakeAnsweredMacs hands out next (then empty).
    std::vector<std::string> answered;

    std::vector<AdapterRecord> Adapters() override { return adapters; }
    void SelectAdapter(const AdapterRecord& record) override {
        selected.emplace_back(record.adapterName);
    }
    void ClearDeviceTable() override { ++clears; }
    void SendDiscovery() override { ++discoveries; }
    std::array<std::uint8_t, 6> AdapterMac() override { return {0x02, 0xAA, 0, 0, 0, 0x01}; }
    bool StartJob(const TransferJob& job) override {
        jobs.push_back(job);
        return true;
    }
    std::string LinkError() override { return error; }
    std::vector<std::string> TakeAnsweredMacs() override {
        std::vector<std::string> taken;
        taken.swap(answered);
        return taken;
    }
};

AdapterRecord MakeAdapter(const std::string& name, const std::string& description,
                          const std::array<std::uint8_t, 6>& mac);

// The MAC text of device n: "02:00:00:00:HH:LL".
std::string DeviceMac(int n);

// A program folder with the build's settings and skin, a fresh record store
// in it, the fake link and a recording message sink.
class ScreenFixture : public ::testing::Test {
protected:
    ScreenFixture();
    ~ScreenFixture() override;

    // Adds device n with a discovery time n seconds after a fixed start.
    void AddDevice(int n, int secondsAfterStart);
    void AddDevices(int count);

    TempProgramDir dir;
    std::unique_ptr<CSqlManagement> store;
    FakeScreenLink link;
    RecordingMessageSink messages;

private:
    ScreenLink* previousLink_;
};

} // namespace qvtest
