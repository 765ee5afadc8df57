// Writing sheet 0's text cells and saving the workbook record by record.
#include "xls/XlsWorkbook.h"

#include "xls/XlsRecords.h"

#include "base/SafeFile.h"

#include <QString>
#include <algorithm>
#include <cstring>

using namespace xlsrec;

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
    // A new 0600 file renamed over path: never written through a link.
    return WriteWholeFile(
        path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
}
