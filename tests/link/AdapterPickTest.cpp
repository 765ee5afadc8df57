// Which capture device an adapter name selects.

#include "link/AdapterInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(PickCaptureDevice, TheExactNameBeforeAnyThatContainsIt) {
    struct Case {
        std::vector<std::string> devices;
        std::string adapter;
        int pick;
    } cases[] = {
        {{"zab1", "ab1"}, "ab1", 1},
        {{"eth10", "eth1"}, "eth1", 1},
        {{"veth1a2b", "eth1"}, "eth1", 1},
        {{"ab1", "zab1"}, "ab1", 0},
        {{"zab1", "ab1"}, "zab1", 0},
        // A capture name that only carries the adapter's name inside it.
        {{"lo", "\\Device\\NPF_{ab1}"}, "ab1", 1},
        {{"zab1", "yab1"}, "ab1", 0},
        {{"eth0", "eth1"}, "eth2", -1},
        {{"eth0"}, "", -1},
        {{}, "eth0", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.adapter);
        EXPECT_EQ(PickCaptureDevice(c.devices, c.adapter), c.pick);
    }
}

} // namespace
