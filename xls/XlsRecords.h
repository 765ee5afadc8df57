#pragma once

// Record-level helpers shared by the workbook's reader and writer: the record
// types they use and little-endian access to record data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace xlsrec {

// Record types used here.
enum : uint16_t {
    rtFormula = 0x0006,
    rtFormulaOld = 0x0206, // the older FORMULA type, read and kept the same way
    rtEof = 0x000A,
    rtFilePass = 0x002F,
    rtContinue = 0x003C,
    rtColInfo = 0x007D,
    rtBoundSheet = 0x0085,
    rtMulRk = 0x00BD,
    rtMulBlank = 0x00BE,
    rtRString = 0x00D6,
    rtDbCell = 0x00D7,
    rtXf = 0x00E0,
    rtSst = 0x00FC,
    rtExtSst = 0x00FF,
    rtLabelSst = 0x00FD,
    rtDimensions = 0x0200,
    rtBlank = 0x0201,
    rtNumber = 0x0203,
    rtLabel = 0x0204,
    rtBoolErr = 0x0205,
    rtString = 0x0207,
    rtRow = 0x0208,
    rtIndex = 0x020B,
    rtArray = 0x0221,
    rtTable = 0x0236,
    rtWindow2 = 0x023E,
    rtRk = 0x027E,
    rtDefColWidth = 0x0055,
    rtShrFmla = 0x04BC,
    rtBof = 0x0809,
};

inline constexpr size_t kMaxRecordData = 8224;
inline constexpr uint16_t kTextFormat = 49; // the built-in "@" number format

inline uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline double GetDouble(const uint8_t* p) {
    uint64_t bits = uint64_t(Get32(p)) | (uint64_t(Get32(p + 4)) << 32);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

inline void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void Append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
inline void AppendRecord(std::vector<uint8_t>& out, uint16_t type, const uint8_t* data,
                         size_t len) {
    Append16(out, type);
    Append16(out, uint16_t(len));
    out.insert(out.end(), data, data + len);
}
inline void AppendRecord(std::vector<uint8_t>& out, uint16_t type,
                         const std::vector<uint8_t>& data) {
    AppendRecord(out, type, data.data(), data.size());
}
inline bool IsFormula(uint16_t type) {
    return type == rtFormula || type == rtFormulaOld;
}

inline bool IsCellRecord(uint16_t type) {
    switch (type) {
    case rtFormula:
    case rtFormulaOld:
    case rtMulRk:
    case rtMulBlank:
    case rtRString:
    case rtLabelSst:
    case rtBlank:
    case rtNumber:
    case rtLabel:
    case rtBoolErr:
    case rtRk:
        return true;
    default:
        return false;
    }
}

// Records that belong to the formula cell before them.
inline bool IsFormulaTail(uint16_t type) {
    return type == rtString || type == rtShrFmla || type == rtArray || type == rtTable ||
           type == rtContinue;
}

// Whether a record of type follows a cell record of cellType as part of the
// same cell: a formula's string result, shared formula and continuations; the
// continuations of a text cell's string.
inline bool IsCellTail(uint16_t cellType, uint16_t type) {
    if (IsFormula(cellType))
        return IsFormulaTail(type);
    if (cellType == rtLabel || cellType == rtRString)
        return type == rtContinue;
    return false;
}

} // namespace xlsrec
