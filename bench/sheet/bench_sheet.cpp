// Times the parameter sheet of a large batch: export of 1000 devices with ten
// WAN connections each (every one with a VLAN id and a PPPoE account, so 46
// columns), then the reading back matched by MAC. Prints the best of a few runs.

#include "base/ProgramDirectory.h"
#include "payload/ParameterSheet.h"
#include "records/CSqlManagement.h"
#include "xls/XlsWorkbook.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

int main() {
    namespace fs = std::filesystem;
    const fs::path home =
        fs::temp_directory_path() / ("qv-bench-sheet-" + std::to_string(getpid()));
    fs::create_directories(home / "ExcelTemplate");
    fs::create_directories(home / "ModifyExcel");
    fs::copy_file(QV_TEMPLATE_XLS, home / "ExcelTemplate" / "Template.xls");
    SetProgramDirectory(home.string());

    DeviceParams t{};
    ZeroDeviceParams(t);
    t.wanCount = 10;
    for (int j = 0; j < 10; ++j) {
        CopyToField(t.wanName[j], "WAN_" + std::to_string(j + 1) + "_INTERNET_R_VID");
        CopyToField(t.vid[j], std::to_string(100 + j));
        CopyToField(t.channelMode[j], "2");
        CopyToField(t.pppUser[j], "subscriber-user");
        CopyToField(t.pppPassword[j], "secret");
    }
    CopyToField(t.loid, "loid");
    CopyToField(t.loginPassword, "admin");

    std::vector<std::string> macs;
    for (int k = 0; k < 1000; ++k) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "00:1A:2B:%02X:%02X:%02X", k >> 16, (k >> 8) & 0xFF,
                      k & 0xFF);
        macs.push_back(mac);
    }
    double bestExport = 1e9, bestRead = 1e9, bestReadPositional = 1e9;
    size_t fileSize = 0;
    {
        CSqlManagement store(home.string() + "/");
        for (int run = 0; run < 5; ++run) {
            std::string path;
            auto t0 = std::chrono::steady_clock::now();
            if (!ExportParameterSheet(t, macs, path, store)) {
                std::fprintf(stderr, "export failed\n");
                return 1;
            }
            auto t1 = std::chrono::steady_clock::now();
            std::vector<DeviceParams> records;
            if (!ReadParameterSheetByMac(path, t, macs, records) || records.size() != 1000) {
                std::fprintf(stderr, "read back failed\n");
                return 1;
            }
            auto t2 = std::chrono::steady_clock::now();
            if (!ReadParameterSheet(path, t, 1000, records)) {
                std::fprintf(stderr, "read back failed\n");
                return 1;
            }
            auto t3 = std::chrono::steady_clock::now();
            using ms = std::chrono::duration<double, std::milli>;
            bestExport = std::min(bestExport, ms(t1 - t0).count());
            bestRead = std::min(bestRead, ms(t2 - t1).count());
            bestReadPositional = std::min(bestReadPositional, ms(t3 - t2).count());
            fileSize = fs::file_size(path);
        }
    }
    std::printf("sheet of 1000 devices x 10 WAN connections (46 columns, %zu bytes)\n", fileSize);
    std::printf("export:                %8.1f ms\n", bestExport);
    std::printf("read back by MAC:      %8.1f ms\n", bestRead);
    std::printf("read back by position: %8.1f ms\n", bestReadPositional);
    if (!std::getenv("QV_BENCH_KEEP"))
        fs::remove_all(home);
    else
        std::printf("kept %s\n", home.c_str());
    return 0;
}
