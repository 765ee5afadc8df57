// libFuzzer target: the workbook loader and the cell reader of sheet 0, then
// one write and a save of whatever loaded.
#include "xls/XlsWorkbook.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(data, data + size);
    auto book = XlsWorkbook::Create();
    if (!book->LoadFromMemory(image))
        return 0;
    XlsSheet* sheet = book->GetSheet(0);
    if (!sheet)
        return 0;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            (void)sheet->ReadStr(r, c);
    sheet->WriteStr(1, 1, "fuzz");
    std::vector<uint8_t> saved = book->SaveToMemory();
    auto again = XlsWorkbook::Create();
    if (again->LoadFromMemory(saved))
        (void)again->GetSheet(0)->ReadStr(1, 1);
    return 0;
}
