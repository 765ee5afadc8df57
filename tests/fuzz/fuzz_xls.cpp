// libFuzzer target: the workbook loader and the cell reader of sheet 0, then
// writes (a short text, a text long enough to continue over records, a blank)
// and a save of whatever loaded, read back.
#include "xls/XlsWorkbook.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(data, data + size);
    auto book = XlsWorkbook::Create();
    if (!book->LoadFromMemory(image))
        return 0;
    XlsSheet* sheet = book->GetSheet(0);
    if (!sheet)
        return 0;
    const int last = sheet->RowCount() - 1;
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            (void)sheet->ReadStr(r, c);
    for (int c = 0; c < 256 && last >= 0; c += 15)
        (void)sheet->ReadStr(last, c);
    sheet->WriteStr(1, 1, "fuzz");
    sheet->WriteStr(2, 2, std::string(9000, 'x'));
    sheet->WriteStr(0, 0, "");
    std::vector<uint8_t> saved = book->SaveToMemory();
    auto again = XlsWorkbook::Create();
    if (again->LoadFromMemory(saved)) {
        (void)again->GetSheet(0)->ReadStr(1, 1);
        (void)again->GetSheet(0)->ReadStr(2, 2);
    }
    return 0;
}
