#include "xls/XlsWorkbook.h"

#include "xls/XlsRecords.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

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

// Reads data that runs on over CONTINUE records: the shared string table,
// and a cell's text longer than one record.
class SegmentReader {
public:
    void Add(const uint8_t* p, size_t n) {
        segs_.push_back({p, n});
        left_ += n;
    }
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
            left_ -= take;
            n -= take;
        }
        return true;
    }
    // Characters; each new record starts with a byte choosing the encoding.
    // out may be null to skip them.
    bool Chars(size_t cch, bool high, std::vector<char16_t>* out) {
        while (cch > 0) {
            if (pos_ == segs_[seg_].second) {
                ++seg_;
                pos_ = 0;
                if (seg_ >= segs_.size() || segs_[seg_].second == 0)
                    return false;
                high = segs_[seg_].first[pos_++] & 1;
                --left_;
            }
            size_t width = high ? 2 : 1;
            size_t avail = (segs_[seg_].second - pos_) / width;
            if (avail == 0)
                return false;
            size_t take = std::min(cch, avail);
            const uint8_t* p = segs_[seg_].first + pos_;
            if (out)
                for (size_t i = 0; i < take; ++i)
                    out->push_back(high ? char16_t(Get16(p + 2 * i)) : char16_t(p[i]));
            pos_ += take * width;
            left_ -= take * width;
            cch -= take;
        }
        return true;
    }
    size_t Remaining() const { return left_; }

private:
    std::vector<std::pair<const uint8_t*, size_t>> segs_;
    size_t seg_ = 0, pos_ = 0;
    size_t left_ = 0; // bytes not yet read, over all segments
};

// An XLUnicodeString (16-bit count, flags, characters) whose characters may
// continue in further segments, each starting with its own encoding flag. A
// string cut short by the end of its records reads as far as it goes.
std::string UnicodeStringText(SegmentReader& in) {
    uint8_t head[3];
    if (!in.Bytes(3, head))
        return {};
    const uint8_t flags = head[2];
    if (((flags & 0x08) && !in.Bytes(2, nullptr)) || ((flags & 0x04) && !in.Bytes(4, nullptr)))
        return {};
    std::vector<char16_t> chars;
    const size_t cch = Get16(head);
    chars.reserve(std::min(cch, in.Remaining()));
    (void)in.Chars(cch, flags & 1, &chars);
    return Utf8(chars.data(), chars.size());
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
    streamName_.clear();
    std::vector<uint8_t>().swap(stream_);
    std::vector<Record>().swap(records_);
    substreams_.clear();
    trailer_ = 0;
    sheet0_ = 0;
    boundSheets_.clear();
    sstChars_.clear();
    sstExtra_.clear();
    sst_.clear();
    sstRich_.clear();
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
    std::vector<Cell>().swap(cells_);
    cellsSorted_ = true;
    newCells_.clear();
    rows_.clear();
}

bool XlsWorkbook::Load(const std::string& path) {
    sheet_.reset();
    Clear();
    // A regular file only, opened without waiting and refused by its size
    // before it is read (a FIFO, a device, a file over the limit or one that
    // grows while it is read), then read straight into the image.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    std::vector<uint8_t> image;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
              uint64_t(st.st_size) <= kMaxFileSize;
    if (ok) {
        image.resize(size_t(st.st_size) + 1);
        size_t got = 0;
        while (got < image.size()) {
            const ssize_t n = ::read(fd, image.data() + got, image.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += size_t(n);
        }
        ok = got == size_t(st.st_size);
        image.resize(got);
    }
    ::close(fd);
    if (!ok || !LoadContainer(image))
        return false;
    // The container holds its own copy of every stream; the file image is not needed again.
    std::vector<uint8_t>().swap(image);
    return ParseStream();
}

bool XlsWorkbook::LoadFromMemory(const std::vector<uint8_t>& image) {
    sheet_.reset();
    Clear();
    return LoadContainer(image) && ParseStream();
}

bool XlsWorkbook::LoadContainer(const std::vector<uint8_t>& image) {
    if (image.empty() || image.size() > kMaxFileSize || !container_.Load(image))
        return false;
    // The workbook stream by its name in any letter case; a BIFF8 stream
    // under the older name "Book" is read too (Parse refuses anything but BIFF8).
    streamName_ = u"Workbook";
    std::vector<uint8_t>* stream = container_.FindStream(streamName_);
    if (!stream) {
        streamName_ = u"Book";
        stream = container_.FindStream(streamName_);
    }
    if (!stream)
        return false;
    // The stream moves out of the container; saving puts the new one back under the same entry.
    stream_ = std::move(*stream);
    std::vector<uint8_t>().swap(*stream);
    return true;
}

bool XlsWorkbook::ParseStream() {
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

size_t XlsWorkbook::CellEnd(size_t i, size_t last) const {
    size_t end = i + 1;
    while (end < last && IsCellTail(records_[i].type, records_[end].type))
        ++end;
    return end;
}

std::string XlsWorkbook::ContinuedText(size_t rec, size_t end, size_t offset) const {
    SegmentReader in;
    if (records_[rec].len < offset)
        return {};
    in.Add(Data(rec) + offset, records_[rec].len - offset);
    for (size_t k = rec + 1; k < end && records_[k].type == rtContinue; ++k)
        in.Add(Data(k), records_[k].len);
    return UnicodeStringText(in);
}

// Splits the stream into records and substreams and reads the globals and sheet 0.
bool XlsWorkbook::Parse() {
    // The records are counted first (up to the padding after the last
    // substream), so their table takes exactly its size.
    size_t count = 0;
    int level = 0;
    for (size_t at = 0; at + 4 <= stream_.size() && count <= kMaxRecords; ++count) {
        const uint16_t type = Get16(stream_.data() + at);
        if (level == 0 && type != rtBof)
            break;
        if (type == rtBof)
            ++level;
        else if (type == rtEof)
            --level;
        at += 4 + Get16(stream_.data() + at + 2);
    }
    if (count > kMaxRecords)
        return false;
    records_.reserve(count);
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
            if (len < 4) // version and kind
                return false;
            if (depth == 0)
                open = records_.size() - 1;
            if (++depth > 8)
                return false;
        } else if (type == rtEof) {
            if (--depth == 0)
                substreams_.push_back({uint32_t(open), uint32_t(records_.size() - 1)});
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
            if (!ParseSst(i, end, false) || !ParseSst(i, end, true))
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

// Reads the shared strings; a first pass with store false only counts
// them, so that the second takes exactly the memory they need.
bool XlsWorkbook::ParseSst(size_t first, size_t end, bool store) {
    if (records_[first].len < 8)
        return false;
    SegmentReader in;
    in.Add(Data(first) + 8, records_[first].len - 8);
    for (size_t i = first + 1; i < end; ++i)
        in.Add(Data(i), records_[i].len);
    sstTotal_ = Get32(Data(first));
    const uint32_t unique = Get32(Data(first) + 4);
    size_t strings = 0, chars = 0, rich = 0, extras = 0;
    for (uint32_t n = 0; n < unique && !in.AtEnd(); ++n) {
        uint8_t head[3];
        if (!in.Bytes(3, head))
            return false;
        const size_t cch = Get16(head);
        const uint8_t flags = head[2];
        uint8_t buf[4];
        uint16_t runs = 0;
        uint32_t ext = 0;
        if (flags & 0x08) {
            if (!in.Bytes(2, buf))
                return false;
            runs = Get16(buf);
        }
        if (flags & 0x04) {
            if (!in.Bytes(4, buf))
                return false;
            ext = Get32(buf);
        }
        if (cch > in.Remaining())
            return false;
        SstString s{uint32_t(sstChars_.size()), kNone};
        if (!in.Chars(cch, flags & 1, store ? &sstChars_ : nullptr))
            return false;
        const size_t extra = size_t(runs) * 4 + ext;
        if (extra > in.Remaining())
            return false;
        uint8_t* extraOut = nullptr;
        if (extra > 0 && store) {
            s.rich = uint32_t(sstRich_.size());
            sstRich_.push_back({uint32_t(sstExtra_.size()), ext, runs});
            sstExtra_.resize(sstExtra_.size() + extra);
            extraOut = sstExtra_.data() + sstRich_.back().extraOff;
        }
        if (!in.Bytes(extra, extraOut))
            return false;
        if (store)
            sst_.push_back(s);
        ++strings;
        chars += cch;
        rich += extra > 0;
        extras += extra;
    }
    if (!store) {
        sst_.reserve(strings);
        sstChars_.reserve(chars);
        sstRich_.reserve(rich);
        sstExtra_.reserve(extras);
    }
    originalSstCount_ = sst_.size();
    return true;
}

bool XlsWorkbook::ParseSheet0() {
    const Substream& sub = substreams_[sheet0_];
    // The cells' entries are counted first, so their table takes no more than that.
    size_t entries = 0;
    for (size_t i = sub.first; i <= sub.last; ++i) {
        const Record& r = records_[i];
        if (r.type == rtMulRk || r.type == rtMulBlank)
            entries += r.len > 6 ? (r.len - 6) / (r.type == rtMulRk ? 6 : 2) : 0;
        else if (IsCellRecord(r.type))
            ++entries;
    }
    cells_.reserve(std::min(entries, kMaxCells));
    std::vector<bool> rowSeen(65536, false);

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
            // The first ROW record of a row counts, as before.
            if (!rowSeen[Get16(d)]) {
                rowSeen[Get16(d)] = true;
                rows_.push_back({Get16(d), uint32_t(i)});
            }
            break;
        case rtLabelSst:
        case rtLabel:
        case rtRString:
        case rtBlank:
        case rtNumber:
        case rtBoolErr:
        case rtRk:
        case rtFormula:
        case rtFormulaOld: {
            static const std::pair<uint16_t, uint16_t> minLen[] = {
                {rtLabelSst, 10}, {rtLabel, 9}, {rtRString, 9},  {rtBlank, 6},      {rtNumber, 14},
                {rtBoolErr, 8},   {rtRk, 10},   {rtFormula, 20}, {rtFormulaOld, 20}};
            for (auto [t, n] : minLen)
                if (t == r.type && r.len < n)
                    return false;
            if (r.type == rtLabelSst) {
                if (Get32(d + 6) >= sst_.size())
                    return false;
                ++sheet0SstRefs_;
            }
            if (Get16(d + 2) > 255)
                return false;
            AddCell(RecordCell(i, 0));
            // A formula's result string and a long text's continuations stay with the cell.
            i = CellEnd(i, sub.last) - 1;
            break;
        }
        case rtMulRk:
        case rtMulBlank: {
            const size_t unit = r.type == rtMulRk ? 6 : 2;
            if (r.len < 6 || (r.len - 6) % unit != 0)
                return false;
            uint16_t colFirst = Get16(d + 2);
            uint16_t colLast = Get16(d + r.len - 2);
            size_t count = (r.len - 6) / unit;
            if (count == 0 || colLast < colFirst || size_t(colLast - colFirst + 1) != count ||
                colLast > 255)
                return false;
            for (size_t k = 0; k < count; ++k)
                AddCell(RecordCell(i, k));
            break;
        }
        default:
            break;
        }
    }
    if (!cellsSorted_)
        SortCells();
    std::sort(rows_.begin(), rows_.end());
    return true;
}

// Whether the later of two cell records at one place takes it: a value
// replaces what was there, a blank (a format without a value) only another
// blank, as the spreadsheet programs read such a sheet.
bool XlsWorkbook::Replaces(Cell later, Cell earlier) const {
    auto blank = [this](Cell c) {
        const uint16_t type = records_[c >> 8].type;
        return type == rtBlank || type == rtMulBlank;
    };
    return !blank(later) || blank(earlier);
}

// Cells mostly come in order; a cell at a place already taken is resolved
// there and then. Cells out of order are sorted once at the end (or when the
// table is full), so a hostile order costs time, never memory.
void XlsWorkbook::AddCell(Cell c) {
    if (cellsSorted_) {
        const uint32_t key = CellKey(c);
        if (cells_.empty() || key > CellKey(cells_.back())) {
            cells_.push_back(c);
            return;
        }
        auto it = std::lower_bound(cells_.begin(), cells_.end(), key,
                                   [this](Cell a, uint32_t k) { return CellKey(a) < k; });
        if (CellKey(*it) == key) {
            if (Replaces(c, *it))
                *it = c;
            return;
        }
        cellsSorted_ = false;
    }
    if (cells_.size() == cells_.capacity() && !cells_.empty()) {
        SortCells();
        AddCell(c);
        return;
    }
    cells_.push_back(c);
}

void XlsWorkbook::SortCells() {
    // A record's cells are numbered in file order, so among cells at one
    // place the larger number is the later record.
    std::sort(cells_.begin(), cells_.end(), [this](Cell a, Cell b) {
        const uint32_t ka = CellKey(a), kb = CellKey(b);
        return ka != kb ? ka < kb : a < b;
    });
    size_t w = 0;
    for (size_t i = 0; i < cells_.size(); ++i) {
        if (w > 0 && CellKey(cells_[w - 1]) == CellKey(cells_[i])) {
            if (Replaces(cells_[i], cells_[w - 1]))
                cells_[w - 1] = cells_[i];
        } else {
            cells_[w++] = cells_[i];
        }
    }
    cells_.resize(w);
    cellsSorted_ = true;
}

std::vector<XlsWorkbook::Cell>::iterator XlsWorkbook::FindCell(int row, int col) {
    const uint32_t key = uint32_t(row) << 8 | uint32_t(col);
    return std::lower_bound(cells_.begin(), cells_.end(), key,
                            [this](Cell a, uint32_t k) { return CellKey(a) < k; });
}

uint16_t XlsWorkbook::CellRow(Cell c) const {
    if (IsNew(c))
        return newCells_[c & ~kNewCell].row;
    return Get16(Data(c >> 8));
}

uint16_t XlsWorkbook::CellCol(Cell c) const {
    if (IsNew(c))
        return newCells_[c & ~kNewCell].col;
    return uint16_t(Get16(Data(c >> 8) + 2) + (c & 0xFF));
}

uint16_t XlsWorkbook::CellXf(Cell c) const {
    if (IsNew(c))
        return newCells_[c & ~kNewCell].xf;
    const size_t rec = c >> 8;
    const uint8_t* d = Data(rec);
    switch (records_[rec].type) {
    case rtMulRk:
        return Get16(d + 4 + 6 * (c & 0xFF));
    case rtMulBlank:
        return Get16(d + 4 + 2 * (c & 0xFF));
    default:
        return Get16(d + 4);
    }
}

uint32_t XlsWorkbook::SstLength(uint32_t index) const {
    const size_t end = index + 1 < sst_.size() ? sst_[index + 1].charOff : sstChars_.size();
    return uint32_t(end - sst_[index].charOff);
}

std::string XlsWorkbook::SstText(uint32_t index) const {
    if (index >= sst_.size())
        return {};
    return Utf8(SstChars(index), SstLength(index));
}

std::optional<std::string> XlsWorkbook::CellText(Cell c) const {
    if (IsNew(c)) {
        const NewCell& n = newCells_[c & ~kNewCell];
        return n.text ? SstText(n.string) : std::string();
    }
    const size_t rec = c >> 8, entry = c & 0xFF;
    const Record& r = records_[rec];
    const uint8_t* d = Data(rec);
    switch (r.type) {
    case rtMulRk:
        return NumberText(RkValue(Get32(d + 4 + 6 * entry + 2)));
    case rtMulBlank:
        return std::string();
    case rtLabelSst:
        return SstText(Get32(d + 6));
    case rtLabel:
    case rtRString:
        return ContinuedText(rec, CellEnd(rec, substreams_[sheet0_].last), 6);
    case rtNumber:
        return NumberText(GetDouble(d + 6));
    case rtRk:
        return NumberText(RkValue(Get32(d + 6)));
    case rtBoolErr:
        if (d[7])
            return ErrorText(d[6]);
        return std::string(d[6] ? "TRUE" : "FALSE");
    case rtFormula:
    case rtFormulaOld: {
        const uint8_t* v = d + 6;
        if (Get16(v + 6) != 0xFFFF)
            return NumberText(GetDouble(v));
        switch (v[0]) {
        case 0: {
            const size_t end = CellEnd(rec, substreams_[sheet0_].last);
            for (size_t k = rec + 1; k < end; ++k)
                if (records_[k].type == rtString)
                    return ContinuedText(k, end, 0);
            return std::string();
        }
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
    auto it = book_.FindCell(row, col);
    if (it == book_.cells_.end() || book_.CellKey(*it) != (uint32_t(row) << 8 | uint32_t(col)))
        return std::nullopt;
    return book_.CellText(*it);
}

int XlsSheet::RowCount() const {
    return book_.cells_.empty() ? 0 : int(book_.CellRow(book_.cells_.back())) + 1;
}
