#include "xls/XlsWorkbook.h"

#include "xls/XlsRecords.h"

#include "base/FileUtil.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string_view>

using namespace xlsrec;

namespace {

// Whole numbers below 1e15 in plain digits (an account typed as a number
// stays readable as typed); everything else in the shortest round-trip form.
std::string NumberText(double value) {
    char buf[64];
    bool whole = std::isfinite(value) && std::fabs(value) < 1e15 && value == std::trunc(value);
    if (value == 0)
        return "0";
    auto r = whole ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed)
                   : std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

double RkValue(uint32_t rk) {
    double v;
    if (rk & 2) {
        v = double(int32_t(rk) >> 2);
    } else {
        uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 1) ? v / 100.0 : v;
}

std::string ErrorText(uint8_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    default:
        return "#N/A";
    }
}

std::string Utf8(const char16_t* chars, size_t n) {
    return QString(reinterpret_cast<const QChar*>(chars), qsizetype(n)).toUtf8().toStdString();
}

// An XLUnicodeString inside one record: 16-bit count, flags, characters.
std::string UnicodeStringText(const uint8_t* p, size_t len) {
    if (len < 3)
        return {};
    size_t cch = Get16(p);
    uint8_t flags = p[2];
    size_t pos = 3;
    if (flags & 0x08)
        pos += 2;
    if (flags & 0x04)
        pos += 4;
    std::u16string s;
    bool high = flags & 1;
    for (size_t i = 0; i < cch; ++i) {
        if (high) {
            if (pos + 2 > len)
                break;
            s.push_back(char16_t(Get16(p + pos)));
            pos += 2;
        } else {
            if (pos + 1 > len)
                break;
            s.push_back(char16_t(p[pos]));
            pos += 1;
        }
    }
    return Utf8(s.data(), s.size());
}

// Reads the shared string table over its SST record and CONTINUE records.
class SegmentReader {
public:
    void Add(const uint8_t* p, size_t n) { segs_.push_back({p, n}); }
    bool AtEnd() {
        while (seg_ < segs_.size() && pos_ == segs_[seg_].second) {
            ++seg_;
            pos_ = 0;
        }
        return seg_ >= segs_.size();
    }
    bool Bytes(size_t n, uint8_t* out) {
        while (n > 0) {
            if (AtEnd())
                return false;
            size_t take = std::min(n, segs_[seg_].second - pos_);
            if (out) {
                std::memcpy(out, segs_[seg_].first + pos_, take);
                out += take;
            }
            pos_ += take;
            n -= take;
        }
        return true;
    }
    // Characters; each new record starts with a byte choosing the encoding.
    bool Chars(size_t cch, bool high, std::vector<char16_t>& out) {
        while (cch > 0) {
            if (pos_ == segs_[seg_].second) {
                ++seg_;
                pos_ = 0;
                if (seg_ >= segs_.size() || segs_[seg_].second == 0)
                    return false;
                high = segs_[seg_].first[pos_++] & 1;
            }
            size_t width = high ? 2 : 1;
            size_t avail = (segs_[seg_].second - pos_) / width;
            if (avail == 0)
                return false;
            size_t take = std::min(cch, avail);
            const uint8_t* p = segs_[seg_].first + pos_;
            for (size_t i = 0; i < take; ++i)
                out.push_back(high ? char16_t(Get16(p + 2 * i)) : char16_t(p[i]));
            pos_ += take * width;
            cch -= take;
        }
        return true;
    }
    size_t Remaining() const {
        size_t n = 0;
        for (size_t i = seg_; i < segs_.size(); ++i)
            n += segs_[i].second - (i == seg_ ? pos_ : 0);
        return n;
    }

private:
    std::vector<std::pair<const uint8_t*, size_t>> segs_;
    size_t seg_ = 0, pos_ = 0;
};

} // namespace

std::unique_ptr<XlsWorkbook> XlsWorkbook::Create() {
    return std::unique_ptr<XlsWorkbook>(new XlsWorkbook());
}

XlsWorkbook::XlsWorkbook() = default;
XlsWorkbook::~XlsWorkbook() = default;

void XlsWorkbook::Clear() {
    loaded_ = false;
    container_ = XlsCompoundFile();
    stream_.clear();
    records_.clear();
    substreams_.clear();
    trailer_ = 0;
    sheet0_ = 0;
    boundSheets_.clear();
    sstChars_.clear();
    sstExtra_.clear();
    sst_.clear();
    originalSstCount_ = 0;
    sstTotal_ = 0;
    sheet0SstRefs_ = 0;
    sstRecord_ = SIZE_MAX;
    sstEnd_ = 0;
    stringIndex_.clear();
    stringIndexBuilt_ = false;
    lastXfRecord_ = SIZE_MAX;
    xfCount_ = 0;
    firstCellXf_ = SIZE_MAX;
    textXf_ = -1;
    addTextXf_ = false;
    columns_.clear();
    cells_.clear();
    rows_.clear();
}

bool XlsWorkbook::Load(const std::string& path) {
    // One bounded read of a regular file: a FIFO or a device is refused.
    std::optional<std::string> bytes = ReadWholeFile(path, kMaxFileSize);
    if (!bytes || bytes->empty())
        return false;
    std::vector<uint8_t> image(bytes->begin(), bytes->end());
    bytes.reset(); // one copy of the file in memory while it is parsed
    return LoadFromMemory(image);
}

bool XlsWorkbook::LoadFromMemory(const std::vector<uint8_t>& image) {
    sheet_.reset();
    loaded_ = false;
    Clear();
    if (image.size() > kMaxFileSize || !container_.Load(image))
        return false;
    const std::vector<uint8_t>* stream = container_.FindStream(u"Workbook");
    if (!stream)
        return false;
    stream_ = *stream;
    if (!Parse()) {
        Clear();
        return false;
    }
    loaded_ = true;
    sheet_.reset(new XlsSheet(*this));
    return true;
}

XlsSheet* XlsWorkbook::GetSheet(int index) {
    return loaded_ && index == 0 ? sheet_.get() : nullptr;
}

// Splits the stream into records and substreams and reads the globals and sheet 0.
bool XlsWorkbook::Parse() {
    size_t pos = 0;
    int depth = 0;
    size_t open = 0;
    while (pos + 4 <= stream_.size()) {
        uint16_t type = Get16(stream_.data() + pos);
        uint16_t len = Get16(stream_.data() + pos + 2);
        if (depth == 0 && type != rtBof)
            break; // padding after the last substream is kept as it is
        if (pos + 4 + len > stream_.size())
            return false;
        records_.push_back({type, len, uint32_t(pos)});
        if (type == rtBof) {
            if (depth == 0)
                open = records_.size() - 1;
            if (++depth > 8)
                return false;
        } else if (type == rtEof) {
            if (--depth == 0)
                substreams_.push_back({open, records_.size() - 1});
        }
        pos += 4 + len;
    }
    if (depth != 0 || substreams_.size() < 2)
        return false;
    trailer_ = pos;

    // Globals: BIFF8 only, not encrypted.
    const Substream& g = substreams_[0];
    if (records_[g.first].len < 4 || Get16(Data(g.first)) != 0x0600 ||
        Get16(Data(g.first) + 2) != 0x0005)
        return false;
    for (size_t i = g.first; i <= g.last; ++i) {
        const Record& r = records_[i];
        switch (r.type) {
        case rtFilePass:
            return false;
        case rtBoundSheet:
            if (r.len < 8)
                return false;
            boundSheets_.push_back(i);
            break;
        case rtXf:
            if (r.len < 20)
                return false;
            lastXfRecord_ = i;
            if (!(Get16(Data(i) + 4) & 0x0004)) {
                if (firstCellXf_ == SIZE_MAX)
                    firstCellXf_ = i;
                if (textXf_ < 0 && Get16(Data(i) + 2) == kTextFormat)
                    textXf_ = int(xfCount_);
            }
            ++xfCount_;
            break;
        case rtSst: {
            if (sstRecord_ != SIZE_MAX)
                return false;
            size_t end = i + 1;
            while (end <= g.last && records_[end].type == rtContinue)
                ++end;
            sstRecord_ = i;
            sstEnd_ = end;
            if (!ParseSst(i, end))
                return false;
            break;
        }
        default:
            break;
        }
    }
    if (boundSheets_.empty())
        return false;
    uint32_t firstSheetPos = Get32(Data(boundSheets_[0]));
    sheet0_ = 0;
    for (size_t s = 1; s < substreams_.size(); ++s)
        if (records_[substreams_[s].first].off == firstSheetPos)
            sheet0_ = s;
    if (sheet0_ == 0)
        return false;
    return ParseSheet0();
}

bool XlsWorkbook::ParseSst(size_t first, size_t end) {
    if (records_[first].len < 8)
        return false;
    SegmentReader in;
    in.Add(Data(first) + 8, records_[first].len - 8);
    for (size_t i = first + 1; i < end; ++i)
        in.Add(Data(i), records_[i].len);
    sstTotal_ = Get32(Data(first));
    uint32_t unique = Get32(Data(first) + 4);
    // Every string takes at least three bytes, which bounds what a false count can reserve.
    sst_.reserve(std::min<size_t>(unique, in.Remaining() / 3));
    std::vector<char16_t> chars;
    for (uint32_t n = 0; n < unique && !in.AtEnd(); ++n) {
        uint8_t head[3];
        if (!in.Bytes(3, head))
            return false;
        SstString s{};
        s.cch = Get16(head);
        uint8_t flags = head[2];
        uint8_t buf[4];
        if (flags & 0x08) {
            if (!in.Bytes(2, buf))
                return false;
            s.runs = Get16(buf);
        }
        if (flags & 0x04) {
            if (!in.Bytes(4, buf))
                return false;
            s.ext = Get32(buf);
        }
        if (size_t(s.cch) > in.Remaining())
            return false;
        s.charOff = uint32_t(sstChars_.size());
        if (!in.Chars(s.cch, flags & 1, sstChars_))
            return false;
        size_t extra = size_t(s.runs) * 4 + s.ext;
        if (extra > in.Remaining())
            return false;
        s.extraOff = uint32_t(sstExtra_.size());
        sstExtra_.resize(sstExtra_.size() + extra);
        if (!in.Bytes(extra, sstExtra_.data() + s.extraOff))
            return false;
        sst_.push_back(s);
    }
    originalSstCount_ = sst_.size();
    return true;
}

bool XlsWorkbook::ParseSheet0() {
    const Substream& sub = substreams_[sheet0_];
    int depth = 0;
    for (size_t i = sub.first; i <= sub.last; ++i) {
        const Record& r = records_[i];
        if (r.type == rtBof)
            ++depth;
        if (r.type == rtEof)
            --depth;
        if (depth != 1)
            continue; // an embedded chart's own records
        const uint8_t* d = Data(i);
        auto cellAt = [&](uint16_t row, uint16_t col, uint16_t xf, uint8_t kind, uint8_t sub,
                          size_t end) {
            if (col > 255)
                return false;
            cells_.push_back({row, col, xf, kind, sub, uint32_t(i), uint32_t(end)});
            return true;
        };
        switch (r.type) {
        case rtDimensions: {
            if (r.len < 14)
                return false;
            uint32_t rwMic = Get32(d), rwMac = Get32(d + 4);
            uint16_t colMic = Get16(d + 8), colMac = Get16(d + 10);
            if (rwMic > rwMac || rwMac > 65536 || colMic > colMac || colMac > 256)
                return false;
            break;
        }
        case rtColInfo:
            if (r.len < 10)
                return false;
            if (Get16(d) <= Get16(d + 2))
                columns_.push_back({Get16(d), Get16(d + 2), Get16(d + 6)});
            break;
        case rtRow:
            if (r.len < 16)
                return false;
            rows_.push_back({Get16(d), i});
            break;
        case rtLabelSst:
            if (r.len < 10 || Get32(d + 6) >= sst_.size())
                return false;
            ++sheet0SstRefs_;
            if (!cellAt(Get16(d), Get16(d + 2), Get16(d + 4), Original, 0, i + 1))
                return false;
            break;
        case rtLabel:
        case rtRString:
        case rtBlank:
        case rtNumber:
        case rtBoolErr:
        case rtRk: {
            static const std::pair<uint16_t, uint16_t> minLen[] = {{rtLabel, 9},   {rtRString, 9},
                                                                   {rtBlank, 6},   {rtNumber, 14},
                                                                   {rtBoolErr, 8}, {rtRk, 10}};
            for (auto [t, n] : minLen)
                if (t == r.type && r.len < n)
                    return false;
            if (!cellAt(Get16(d), Get16(d + 2), Get16(d + 4), Original, 0, i + 1))
                return false;
            break;
        }
        case rtFormula: {
            if (r.len < 20)
                return false;
            size_t end = i + 1;
            while (end < sub.last && IsFormulaTail(records_[end].type))
                ++end;
            if (!cellAt(Get16(d), Get16(d + 2), Get16(d + 4), Original, 0, end))
                return false;
            i = end - 1;
            break;
        }
        case rtMulRk:
        case rtMulBlank: {
            const size_t unit = r.type == rtMulRk ? 6 : 2;
            if (r.len < 6 || (r.len - 6) % unit != 0)
                return false;
            uint16_t row = Get16(d), colFirst = Get16(d + 2);
            uint16_t colLast = Get16(d + r.len - 2);
            size_t count = (r.len - 6) / unit;
            if (count == 0 || colLast < colFirst || size_t(colLast - colFirst + 1) != count ||
                colLast > 255)
                return false;
            for (size_t k = 0; k < count; ++k)
                if (!cellAt(row, uint16_t(colFirst + k), Get16(d + 4 + k * unit),
                            r.type == rtMulRk ? FromMulRk : FromMulBlank, uint8_t(k), i + 1))
                    return false;
            break;
        }
        default:
            break;
        }
    }
    // Later records for the same cell win.
    std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
    std::vector<Cell> unique;
    unique.reserve(cells_.size());
    for (const Cell& c : cells_) {
        if (!unique.empty() && unique.back().row == c.row && unique.back().col == c.col)
            unique.back() = c;
        else
            unique.push_back(c);
    }
    cells_ = std::move(unique);
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    rows_.erase(std::unique(rows_.begin(), rows_.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                rows_.end());
    return true;
}

std::string XlsWorkbook::SstText(uint32_t index) const {
    if (index >= sst_.size())
        return {};
    return Utf8(sstChars_.data() + sst_[index].charOff, sst_[index].cch);
}

std::optional<std::string> XlsWorkbook::CellText(const Cell& c) const {
    switch (c.kind) {
    case NewText:
        return SstText(c.rec);
    case NewBlank:
    case FromMulBlank:
        return std::string();
    case FromMulRk:
        return NumberText(RkValue(Get32(Data(c.rec) + 4 + 6 * c.sub + 2)));
    default:
        break;
    }
    const Record& r = records_[c.rec];
    const uint8_t* d = Data(c.rec);
    switch (r.type) {
    case rtLabelSst:
        return SstText(Get32(d + 6));
    case rtLabel:
    case rtRString:
        return UnicodeStringText(d + 6, r.len - 6);
    case rtNumber:
        return NumberText(GetDouble(d + 6));
    case rtRk:
        return NumberText(RkValue(Get32(d + 6)));
    case rtBoolErr:
        if (d[7])
            return ErrorText(d[6]);
        return std::string(d[6] ? "TRUE" : "FALSE");
    case rtFormula: {
        const uint8_t* v = d + 6;
        if (Get16(v + 6) != 0xFFFF)
            return NumberText(GetDouble(v));
        switch (v[0]) {
        case 0:
            for (uint32_t k = c.rec + 1; k < c.recEnd; ++k)
                if (records_[k].type == rtString)
                    return UnicodeStringText(Data(k), records_[k].len);
            return std::string();
        case 1:
            return std::string(v[2] ? "TRUE" : "FALSE");
        case 2:
            return ErrorText(v[2]);
        default:
            return std::string();
        }
    }
    default:
        return std::string();
    }
}

std::optional<std::string> XlsSheet::ReadStr(int row, int col) const {
    if (row < 0 || row > 65535 || col < 0 || col > 255)
        return std::nullopt;
    const auto& cells = book_.cells_;
    auto it =
        std::lower_bound(cells.begin(), cells.end(), std::make_pair(row, col),
                         [](const XlsWorkbook::Cell& c, const std::pair<int, int>& key) {
                             return c.row != key.first ? c.row < key.first : c.col < key.second;
                         });
    if (it == cells.end() || it->row != row || it->col != col)
        return std::nullopt;
    return book_.CellText(*it);
}

int XlsSheet::RowCount() const {
    return book_.cells_.empty() ? 0 : int(book_.cells_.back().row) + 1;
}
