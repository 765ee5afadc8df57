#include "tests/xls/BiffBuilder.h"

#include "xls/XlsCompoundFile.h"

#include <cstring>

namespace biff {

Data& Data::u8(uint8_t v) {
    bytes.push_back(v);
    return *this;
}
Data& Data::u16(uint16_t v) {
    bytes.push_back(uint8_t(v));
    bytes.push_back(uint8_t(v >> 8));
    return *this;
}
Data& Data::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(uint8_t(v >> (8 * i)));
    return *this;
}
Data& Data::f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    u32(uint32_t(bits));
    return u32(uint32_t(bits >> 32));
}
Data& Data::raw(const std::vector<uint8_t>& b) {
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
}
Data& Data::chars(const std::u16string& s, bool high) {
    for (char16_t c : s) {
        if (high)
            u16(c);
        else
            u8(uint8_t(c));
    }
    return *this;
}

void Append(std::vector<uint8_t>& out, uint16_t type, const std::vector<uint8_t>& data) {
    Data head;
    head.u16(type).u16(uint16_t(data.size()));
    out.insert(out.end(), head.bytes.begin(), head.bytes.end());
    out.insert(out.end(), data.begin(), data.end());
}

std::vector<uint8_t> ContinuedString(uint16_t type, const std::vector<uint8_t>& prefix,
                                     const std::vector<Piece>& pieces) {
    size_t cch = 0;
    for (const Piece& p : pieces)
        cch += p.text.size();
    Data first;
    first.raw(prefix).u16(uint16_t(cch)).u8(pieces[0].high ? 1 : 0);
    first.chars(pieces[0].text, pieces[0].high);
    std::vector<uint8_t> out;
    Append(out, type, first);
    for (size_t i = 1; i < pieces.size(); ++i) {
        Data next;
        next.u8(pieces[i].high ? 1 : 0).chars(pieces[i].text, pieces[i].high);
        Append(out, 0x003C, next);
    }
    return out;
}

namespace {

std::vector<uint8_t> Bof(uint16_t version, uint16_t kind) {
    return Data().u16(version).u16(kind).u16(0x0DBB).u16(0x07CC).u32(0x000100C1).u32(0x00000406);
}

} // namespace

std::vector<uint8_t> Stream(const std::vector<uint8_t>& globalRecords,
                            const std::vector<uint8_t>& sheetRecords, uint16_t biffVersion) {
    std::vector<uint8_t> out;
    Append(out, 0x0809, Bof(biffVersion, 0x0005));
    out.insert(out.end(), globalRecords.begin(), globalRecords.end());
    const size_t boundSheet = out.size();
    Append(out, 0x0085, Data().u32(0).u8(0).u8(0).u8(6).u8(0).chars(u"Sheet1", false));
    Append(out, 0x000A, {});
    const uint32_t sheetStart = uint32_t(out.size());
    std::memcpy(out.data() + boundSheet + 4, &sheetStart, 4);
    Append(out, 0x0809, Bof(biffVersion, 0x0010));
    Append(out, 0x0200, Data().u32(0).u32(0).u16(0).u16(0).u16(0));
    out.insert(out.end(), sheetRecords.begin(), sheetRecords.end());
    Append(out, 0x023E, Data().u16(0x06B6).u16(0).u16(0).u32(64).u16(0).u16(0).u32(0));
    Append(out, 0x000A, {});
    return out;
}

std::vector<uint8_t> Image(const std::vector<uint8_t>& stream, const std::u16string& name) {
    XlsCompoundFile cf;
    std::vector<uint8_t> padded = stream;
    if (padded.size() < 4096) // outside the mini stream, as spreadsheet programs write it
        padded.resize(4096, 0);
    cf.SetStream(name, padded);
    return cf.Save();
}

std::vector<uint8_t> StreamOf(const std::vector<uint8_t>& image) {
    XlsCompoundFile cf;
    if (!cf.Load(image))
        return {};
    const std::vector<uint8_t>* s = cf.FindStream(u"Workbook");
    if (!s)
        s = cf.FindStream(u"Book");
    return s ? *s : std::vector<uint8_t>();
}

RecordList Records(const std::vector<uint8_t>& stream) {
    RecordList out;
    size_t pos = 0;
    int depth = 0;
    while (pos + 4 <= stream.size()) {
        uint16_t type = uint16_t(stream[pos] | (stream[pos + 1] << 8));
        size_t len = size_t(stream[pos + 2] | (stream[pos + 3] << 8));
        if (depth == 0 && type != 0x0809)
            break; // padding
        if (pos + 4 + len > stream.size())
            break;
        out.push_back({type, std::vector<uint8_t>(stream.begin() + long(pos + 4),
                                                  stream.begin() + long(pos + 4 + len))});
        if (type == 0x0809)
            ++depth;
        if (type == 0x000A)
            --depth;
        pos += 4 + len;
    }
    return out;
}

std::vector<uint8_t> Number(uint16_t row, uint16_t col, double v) {
    return Data().u16(row).u16(col).u16(15).f64(v);
}
std::vector<uint8_t> LabelSst(uint16_t row, uint16_t col, uint32_t index) {
    return Data().u16(row).u16(col).u16(15).u32(index);
}

namespace {

// The formula's tokens: the integer 1 (ptgInt); the cached result is what is read.
std::vector<uint8_t> Formula(uint16_t row, uint16_t col, const std::vector<uint8_t>& result) {
    return Data().u16(row).u16(col).u16(15).raw(result).u16(0).u32(0).u16(3).u8(0x1E).u16(1);
}

} // namespace

std::vector<uint8_t> FormulaNumber(uint16_t row, uint16_t col, double v) {
    return Formula(row, col, Data().f64(v));
}
std::vector<uint8_t> FormulaString(uint16_t row, uint16_t col) {
    return Formula(row, col, Data().u8(0).u8(0).u32(0).u16(0xFFFF));
}
std::vector<uint8_t> FormulaBool(uint16_t row, uint16_t col, bool v) {
    return Formula(row, col, Data().u8(1).u8(0).u8(v ? 1 : 0).u8(0).u16(0).u16(0xFFFF));
}

} // namespace biff
