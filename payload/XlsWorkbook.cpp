#include "payload/XlsWorkbook.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string_view>

namespace {

// Record types used here.
enum : uint16_t {
    rtFormula = 0x0006,
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

constexpr size_t kMaxRecordData = 8224;
constexpr uint16_t kTextFormat = 49; // the built-in "@" number format

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
double GetDouble(const uint8_t* p) {
    uint64_t bits = uint64_t(Get32(p)) | (uint64_t(Get32(p + 4)) << 32);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
void AppendRecord(std::vector<uint8_t>& out, uint16_t type, const uint8_t* data, size_t len) {
    Append16(out, type);
    Append16(out, uint16_t(len));
    out.insert(out.end(), data, data + len);
}
void AppendRecord(std::vector<uint8_t>& out, uint16_t type, const std::vector<uint8_t>& data) {
    AppendRecord(out, type, data.data(), data.size());
}

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

bool IsCellRecord(uint16_t type) {
    switch (type) {
    case rtFormula:
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
bool IsFormulaTail(uint16_t type) {
    return type == rtString || type == rtShrFmla || type == rtArray || type == rtTable ||
           type == rtContinue;
}

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
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0 || size_t(size) > kMaxFileSize)
        return false;
    in.seekg(0);
    std::vector<uint8_t> image(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(image.data()), size))
        return false;
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

uint16_t XlsWorkbook::FormatForNewCell(int col) {
    for (const ColumnFormat& c : columns_)
        if (col >= c.first && col <= c.last)
            return c.xf;
    if (textXf_ < 0) {
        textXf_ = int(xfCount_);
        addTextXf_ = true;
    }
    return uint16_t(textXf_);
}

uint32_t XlsWorkbook::InternString(const std::u16string& text) {
    auto view = [this](uint32_t i) {
        return std::u16string_view(sstChars_.data() + sst_[i].charOff, sst_[i].cch);
    };
    if (!stringIndexBuilt_) {
        stringIndexBuilt_ = true;
        for (uint32_t i = 0; i < sst_.size(); ++i)
            if (sst_[i].runs == 0 && sst_[i].ext == 0)
                stringIndex_.push_back(i);
        std::stable_sort(stringIndex_.begin(), stringIndex_.end(),
                         [&](uint32_t a, uint32_t b) { return view(a) < view(b); });
    }
    const std::u16string_view key(text);
    auto it = std::lower_bound(stringIndex_.begin(), stringIndex_.end(), key,
                               [&](uint32_t i, std::u16string_view k) { return view(i) < k; });
    if (it != stringIndex_.end() && view(*it) == key)
        return *it;
    SstString s{};
    s.charOff = uint32_t(sstChars_.size());
    s.cch = uint32_t(text.size());
    s.extraOff = uint32_t(sstExtra_.size());
    sstChars_.insert(sstChars_.end(), text.begin(), text.end());
    sst_.push_back(s);
    uint32_t index = uint32_t(sst_.size() - 1);
    stringIndex_.insert(it, index);
    return index;
}

bool XlsSheet::WriteStr(int row, int col, const std::string& text) {
    if (row < 0 || row > 65535 || col < 0 || col > 255)
        return false;
    QString q = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (q.size() > 65535)
        return false;
    std::u16string u(reinterpret_cast<const char16_t*>(q.utf16()), size_t(q.size()));
    auto& cells = book_.cells_;
    auto it =
        std::lower_bound(cells.begin(), cells.end(), std::make_pair(row, col),
                         [](const XlsWorkbook::Cell& c, const std::pair<int, int>& key) {
                             return c.row != key.first ? c.row < key.first : c.col < key.second;
                         });
    XlsWorkbook::Cell cell{uint16_t(row), uint16_t(col), 0, 0, 0, 0, 0};
    bool exists = it != cells.end() && it->row == row && it->col == col;
    cell.xf = exists ? it->xf : book_.FormatForNewCell(col);
    if (u.empty()) {
        cell.kind = XlsWorkbook::NewBlank;
    } else {
        cell.kind = XlsWorkbook::NewText;
        cell.rec = book_.InternString(u);
    }
    if (exists)
        *it = cell;
    else
        cells.insert(it, cell);
    return true;
}

// SST with CONTINUE records, followed by a fresh EXTSST.
void XlsWorkbook::WriteSst(std::vector<uint8_t>& out) const {
    uint32_t refs = 0;
    for (const Cell& c : cells_) {
        if (c.kind == NewText)
            ++refs;
        else if (c.kind == Original && records_[c.rec].type == rtLabelSst)
            ++refs;
    }
    uint32_t others = sstTotal_ >= sheet0SstRefs_ ? sstTotal_ - sheet0SstRefs_ : 0;
    const size_t count = sst_.size();
    const size_t perBucket = std::max<size_t>(8, count / 128 + 1);
    std::vector<std::pair<uint32_t, uint16_t>> buckets;

    std::vector<uint8_t> rec;
    bool first = true;
    size_t recStart = out.size();
    Append32(rec, others + refs);
    Append32(rec, uint32_t(count));
    auto flush = [&] {
        AppendRecord(out, first ? rtSst : rtContinue, rec);
        first = false;
        rec.clear();
        recStart = out.size();
    };
    for (size_t i = 0; i < count; ++i) {
        const SstString& s = sst_[i];
        const char16_t* chars = sstChars_.data() + s.charOff;
        bool high = std::any_of(chars, chars + s.cch, [](char16_t c) { return c > 0xFF; });
        size_t width = high ? 2 : 1;
        size_t header = 3 + (s.runs ? 2 : 0) + (s.ext ? 4 : 0);
        if (rec.size() + header + (s.cch ? width : 0) > kMaxRecordData)
            flush();
        if (i % perBucket == 0)
            buckets.push_back({uint32_t(recStart + 4 + rec.size()), uint16_t(4 + rec.size())});
        Append16(rec, uint16_t(s.cch));
        rec.push_back(uint8_t((high ? 1 : 0) | (s.runs ? 0x08 : 0) | (s.ext ? 0x04 : 0)));
        if (s.runs)
            Append16(rec, s.runs);
        if (s.ext)
            Append32(rec, s.ext);
        size_t done = 0;
        while (done < s.cch) {
            size_t fit = (kMaxRecordData - rec.size()) / width;
            if (fit == 0) {
                flush();
                rec.push_back(high ? 1 : 0);
                continue;
            }
            size_t take = std::min(fit, size_t(s.cch) - done);
            for (size_t k = 0; k < take; ++k) {
                if (high)
                    Append16(rec, chars[done + k]);
                else
                    rec.push_back(uint8_t(chars[done + k]));
            }
            done += take;
        }
        // Formatting runs stay whole; the phonetic block may split anywhere.
        const uint8_t* extra = sstExtra_.data() + s.extraOff;
        for (size_t r = 0; r < s.runs; ++r) {
            if (rec.size() + 4 > kMaxRecordData)
                flush();
            rec.insert(rec.end(), extra + 4 * r, extra + 4 * r + 4);
        }
        const uint8_t* ext = extra + 4 * size_t(s.runs);
        size_t left = s.ext;
        while (left > 0) {
            if (rec.size() == kMaxRecordData)
                flush();
            size_t take = std::min(left, kMaxRecordData - rec.size());
            rec.insert(rec.end(), ext, ext + take);
            ext += take;
            left -= take;
        }
    }
    flush();
    std::vector<uint8_t> extsst;
    Append16(extsst, uint16_t(perBucket));
    for (auto [ib, cb] : buckets) {
        Append32(extsst, ib);
        Append16(extsst, cb);
        Append16(extsst, 0);
    }
    AppendRecord(out, rtExtSst, extsst);
}

// Sheet 0: every record kept in place except the cell table and its index
// records, which are rebuilt from the merged cells.
void XlsWorkbook::WriteSheet0(std::vector<uint8_t>& out) const {
    const Substream& sub = substreams_[sheet0_];

    // Rows in use: those with a ROW record and those with cells.
    std::vector<uint16_t> rows;
    for (const auto& r : rows_)
        rows.push_back(r.first);
    for (const Cell& c : cells_)
        rows.push_back(c.row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const size_t blocks = (rows.size() + 31) / 32;

    size_t indexPos = SIZE_MAX, defColWidthPos = 0;
    std::vector<uint32_t> dbcells;
    bool tableWritten = false;

    auto writeTable = [&] {
        tableWritten = true;
        std::vector<uint8_t> dim;
        uint16_t colMic = 0, colMac = 0;
        if (!cells_.empty()) {
            colMic = 255;
            for (const Cell& c : cells_) {
                colMic = std::min(colMic, c.col);
                colMac = std::max<uint16_t>(colMac, uint16_t(c.col + 1));
            }
        }
        Append32(dim, rows.empty() ? 0 : rows.front());
        Append32(dim, rows.empty() ? 0 : uint32_t(rows.back()) + 1);
        Append16(dim, colMic);
        Append16(dim, colMac);
        Append16(dim, 0);
        AppendRecord(out, rtDimensions, dim);

        size_t cellIt = 0;
        for (size_t b = 0; b < blocks; ++b) {
            size_t r0 = b * 32, r1 = std::min(rows.size(), r0 + 32);
            const size_t firstRowPos = out.size();
            size_t scan = cellIt;
            for (size_t k = r0; k < r1; ++k) {
                uint16_t row = rows[k];
                uint16_t lo = 0, hi = 0;
                bool any = false;
                for (; scan < cells_.size() && cells_[scan].row == row; ++scan) {
                    if (!any)
                        lo = cells_[scan].col;
                    any = true;
                    hi = uint16_t(cells_[scan].col + 1);
                }
                auto found = std::lower_bound(
                    rows_.begin(), rows_.end(), row,
                    [](const std::pair<uint16_t, size_t>& a, uint16_t v) { return a.first < v; });
                std::vector<uint8_t> rowRec;
                if (found != rows_.end() && found->first == row) {
                    const uint8_t* d = Data(found->second);
                    rowRec.assign(d, d + records_[found->second].len);
                    if (any) {
                        Put16(rowRec.data() + 2, lo);
                        Put16(rowRec.data() + 4, hi);
                    }
                } else {
                    Append16(rowRec, row);
                    Append16(rowRec, lo);
                    Append16(rowRec, hi);
                    Append16(rowRec, 0x00FF);
                    Append16(rowRec, 0);
                    Append16(rowRec, 0);
                    Append16(rowRec, 0x0100);
                    Append16(rowRec, 0x000F);
                }
                AppendRecord(out, rtRow, rowRec);
            }
            std::vector<size_t> cellStarts;
            for (size_t k = r0; k < r1; ++k) {
                cellStarts.push_back(out.size());
                for (; cellIt < cells_.size() && cells_[cellIt].row == rows[k]; ++cellIt) {
                    const Cell& c = cells_[cellIt];
                    std::vector<uint8_t> d;
                    Append16(d, c.row);
                    Append16(d, c.col);
                    Append16(d, c.xf);
                    switch (c.kind) {
                    case Original:
                        for (size_t k2 = c.rec; k2 < c.recEnd; ++k2)
                            AppendRecord(out, records_[k2].type, Data(k2), records_[k2].len);
                        break;
                    case FromMulRk:
                        d.insert(d.end(), Data(c.rec) + 4 + 6 * c.sub + 2,
                                 Data(c.rec) + 4 + 6 * c.sub + 6);
                        AppendRecord(out, rtRk, d);
                        break;
                    case FromMulBlank:
                    case NewBlank:
                        AppendRecord(out, rtBlank, d);
                        break;
                    case NewText:
                        Append32(d, c.rec);
                        AppendRecord(out, rtLabelSst, d);
                        break;
                    }
                }
            }
            // DBCELL: offsets back to the first ROW and between the rows' first cells.
            std::vector<uint8_t> db;
            Append32(db, uint32_t(out.size() - firstRowPos));
            for (size_t k = 0; k < cellStarts.size(); ++k) {
                size_t from = k == 0 ? firstRowPos + 20 : cellStarts[k - 1];
                Append16(db, uint16_t(cellStarts[k] - from));
            }
            dbcells.push_back(uint32_t(out.size()));
            AppendRecord(out, rtDbCell, db);
        }
    };

    int depth = 0;
    for (size_t i = sub.first; i <= sub.last; ++i) {
        const Record& r = records_[i];
        if (r.type == rtBof)
            ++depth;
        if (depth == 1) {
            if (r.type == rtIndex) {
                indexPos = out.size();
                std::vector<uint8_t> idx(16 + 4 * blocks, 0);
                AppendRecord(out, rtIndex, idx);
                continue;
            }
            if (r.type == rtDimensions) {
                if (!tableWritten)
                    writeTable();
                continue;
            }
            if (r.type == rtRow || r.type == rtDbCell || IsCellRecord(r.type))
                continue;
            if (r.type == rtFormula)
                continue;
            if (IsFormulaTail(r.type) && i > sub.first &&
                (IsCellRecord(records_[i - 1].type) || IsFormulaTail(records_[i - 1].type))) {
                // The tail of a formula cell travels with its cell.
                size_t k = i;
                while (k > sub.first && IsFormulaTail(records_[k].type))
                    --k;
                if (records_[k].type == rtFormula)
                    continue;
            }
            if (!tableWritten && (r.type == rtWindow2 || r.type == rtEof)) {
                writeTable();
            }
            if (r.type == rtDefColWidth)
                defColWidthPos = out.size();
        }
        if (r.type == rtEof)
            --depth;
        AppendRecord(out, r.type, Data(i), r.len);
    }
    if (indexPos != SIZE_MAX) {
        uint8_t* p = out.data() + indexPos + 4;
        Put32(p + 4, rows.empty() ? 0 : rows.front());
        Put32(p + 8, rows.empty() ? 0 : uint32_t(rows.back()) + 1);
        Put32(p + 12, uint32_t(defColWidthPos));
        for (size_t b = 0; b < dbcells.size(); ++b)
            Put32(p + 16 + 4 * b, dbcells[b]);
    }
}

std::vector<uint8_t> XlsWorkbook::SaveToMemory() const {
    if (!loaded_)
        return {};
    std::vector<uint8_t> out;
    out.reserve(stream_.size() + sst_.size() * 16 + cells_.size() * 16);
    const Substream& g = substreams_[0];
    std::vector<std::pair<size_t, size_t>> sheetPatches; // (BOUNDSHEET data pos, substream)
    for (size_t i = g.first; i <= g.last; ++i) {
        const Record& r = records_[i];
        if (i == sstRecord_) {
            WriteSst(out);
            i = sstEnd_ - 1;
            continue;
        }
        if (r.type == rtExtSst)
            continue;
        if (r.type == rtEof && sstRecord_ == SIZE_MAX && !sst_.empty())
            WriteSst(out);
        if (r.type == rtBoundSheet) {
            uint32_t target = Get32(Data(i));
            for (size_t s = 1; s < substreams_.size(); ++s)
                if (records_[substreams_[s].first].off == target)
                    sheetPatches.push_back({out.size() + 4, s});
        }
        AppendRecord(out, r.type, Data(i), r.len);
        if (i == lastXfRecord_ && addTextXf_) {
            const uint8_t* base = Data(firstCellXf_ != SIZE_MAX ? firstCellXf_ : lastXfRecord_);
            std::vector<uint8_t> xf(base, base + 20);
            Put16(xf.data() + 2, kTextFormat);
            Put16(xf.data() + 4, uint16_t(Get16(xf.data() + 4) & ~0x0004));
            xf[9] |= 0x04; // the number format is the cell's own
            AppendRecord(out, rtXf, xf);
        }
    }
    std::vector<uint32_t> newStart(substreams_.size(), 0);
    for (size_t s = 1; s < substreams_.size(); ++s) {
        const Substream& sub = substreams_[s];
        newStart[s] = uint32_t(out.size());
        if (s == sheet0_) {
            WriteSheet0(out);
            continue;
        }
        const int64_t delta = int64_t(out.size()) - int64_t(records_[sub.first].off);
        for (size_t i = sub.first; i <= sub.last; ++i) {
            const Record& r = records_[i];
            size_t at = out.size();
            AppendRecord(out, r.type, Data(i), r.len);
            if (r.type == rtIndex && r.len >= 16 && delta != 0) {
                // Stream positions of DEFCOLWIDTH and the DBCELLs move with the sheet.
                uint8_t* p = out.data() + at + 4;
                for (size_t k = 12; k + 4 <= r.len; k += 4)
                    if (Get32(p + k) != 0)
                        Put32(p + k, uint32_t(int64_t(Get32(p + k)) + delta));
            }
        }
    }
    out.insert(out.end(), stream_.begin() + long(trailer_), stream_.end());
    for (auto [pos, s] : sheetPatches)
        Put32(out.data() + pos, newStart[s]);
    // Spreadsheet programs expect the workbook stream outside the mini stream;
    // zeros after the last substream are ignored by every reader.
    if (out.size() < 4096)
        out.resize(4096, 0);

    XlsCompoundFile copy = container_;
    copy.SetStream(u"Workbook", std::move(out));
    return copy.Save();
}

bool XlsWorkbook::Save(const std::string& path) const {
    std::vector<uint8_t> image = SaveToMemory();
    if (image.empty())
        return false;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        return false;
    f.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    return bool(f);
}
