#include "xls/XlsCompoundFile.h"

#include <QChar>
#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kFreeSect = 0xFFFFFFFFu;
constexpr uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr uint32_t kFatSect = 0xFFFFFFFDu;
constexpr uint32_t kDifSect = 0xFFFFFFFCu;
constexpr uint32_t kNoStream = 0xFFFFFFFFu;
constexpr uint32_t kMiniCutoff = 4096;
constexpr size_t kSector = 512;
constexpr size_t kMiniSector = 64;
constexpr size_t kHeaderDifat = 109;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint64_t Le64(const uint8_t* p) {
    return uint64_t(Le32(p)) | (uint64_t(Le32(p + 4)) << 32);
}
void SetLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void SetLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
void SetLe64(uint8_t* p, uint64_t v) {
    SetLe32(p, uint32_t(v));
    SetLe32(p + 4, uint32_t(v >> 32));
}

// Directory names compare by their upper-case form: each UTF-16 unit by
// Unicode's simple upper-case mapping, surrogates as they are.
char16_t Upper(char16_t c) {
    if (c < 0x80)
        return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    return QChar(c).toUpper().unicode();
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

// Directory order: shorter names first, then by upper-cased code units.
bool NameLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = Upper(a[i]), y = Upper(b[i]);
        if (x != y)
            return x < y;
    }
    return false;
}

// Reads sector chains of one allocation table; every sector may belong to
// one chain only, which also rules out loops.
class ChainReader {
public:
    ChainReader(const std::vector<uint32_t>& table, size_t unitCount)
        : table_(table), used_(unitCount, false) {}

    // The units of the chain starting at start; false on a loop, a sector
    // used twice, an index out of range or a chain shorter than minUnits.
    bool Read(uint32_t start, size_t minUnits, std::vector<uint32_t>& out) {
        out.clear();
        uint32_t s = start;
        while (s != kEndOfChain) {
            if (s >= used_.size() || s >= table_.size() || used_[s])
                return false;
            used_[s] = true;
            out.push_back(s);
            s = table_[s];
        }
        return out.size() >= minUnits;
    }

private:
    const std::vector<uint32_t>& table_;
    std::vector<bool> used_;
};

} // namespace

XlsCompoundFile::XlsCompoundFile() {
    Entry root;
    root.name = u"Root Entry";
    root.type = EntryType::Root;
    entries_.push_back(std::move(root));
}

bool XlsCompoundFile::Load(const std::vector<uint8_t>& image) {
    entries_.clear();
    XlsCompoundFile empty;
    auto fail = [&] {
        entries_ = empty.entries_;
        return false;
    };
    if (image.size() < kSector || std::memcmp(image.data(), kSignature, 8) != 0)
        return fail();
    const uint8_t* h = image.data();
    if (Le16(h + 28) != 0xFFFE)
        return fail();
    const unsigned shift = Le16(h + 30);
    if (shift != 9 && shift != 12)
        return fail();
    if (Le16(h + 32) != 6)
        return fail();
    const size_t sectorSize = size_t(1) << shift;
    if (image.size() <= sectorSize && shift == 12)
        return fail();
    // Sector n starts at (n + 1) * sectorSize; a short last sector reads as zero-padded.
    const size_t sectorCount = (image.size() - sectorSize + sectorSize - 1) / sectorSize;
    auto sector = [&](uint32_t n, uint8_t* out) {
        size_t off = (size_t(n) + 1) * sectorSize;
        size_t avail = off < image.size() ? std::min(sectorSize, image.size() - off) : 0;
        if (avail)
            std::memcpy(out, image.data() + off, avail);
        if (avail < sectorSize)
            std::memset(out + avail, 0, sectorSize - avail);
    };
    const size_t perSector = sectorSize / 4;

    const uint32_t fatCount = Le32(h + 44);
    const uint32_t firstDir = Le32(h + 48);
    const uint32_t miniCutoff = Le32(h + 56);
    const uint32_t firstMiniFat = Le32(h + 60);
    const uint32_t miniFatCount = Le32(h + 64);
    uint32_t difatSect = Le32(h + 68);
    const uint32_t difatCount = Le32(h + 72);
    if (fatCount > sectorCount || difatCount > sectorCount || miniFatCount > sectorCount)
        return fail();

    // FAT sector numbers: 109 in the header, the rest in the DIFAT chain.
    std::vector<uint32_t> fatSectors;
    for (size_t i = 0; i < kHeaderDifat && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(Le32(h + 76 + 4 * i));
    std::vector<bool> difatSeen(sectorCount, false);
    std::vector<uint8_t> buf(sectorSize);
    while (fatSectors.size() < fatCount) {
        if (difatSect >= sectorCount || difatSeen[difatSect])
            return fail();
        difatSeen[difatSect] = true;
        sector(difatSect, buf.data());
        for (size_t i = 0; i + 1 < perSector && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(Le32(buf.data() + 4 * i));
        difatSect = Le32(buf.data() + 4 * (perSector - 1));
    }
    std::vector<bool> fatSeen(sectorCount, false);
    std::vector<uint32_t> fat;
    fat.reserve(fatSectors.size() * perSector);
    for (uint32_t s : fatSectors) {
        if (s >= sectorCount || fatSeen[s])
            return fail();
        fatSeen[s] = true;
        sector(s, buf.data());
        for (size_t i = 0; i < perSector; ++i)
            fat.push_back(Le32(buf.data() + 4 * i));
    }

    ChainReader chains(fat, sectorCount);
    std::vector<uint32_t> chain;
    auto readChain = [&](uint32_t start, uint64_t size, std::vector<uint8_t>& out) {
        size_t units = size_t((size + sectorSize - 1) / sectorSize);
        if (!chains.Read(start, units, chain))
            return false;
        out.resize(size_t(size));
        for (size_t i = 0; i < units; ++i) {
            sector(chain[i], buf.data());
            size_t n = std::min(sectorSize, size_t(size) - i * sectorSize);
            std::memcpy(out.data() + i * sectorSize, buf.data(), n);
        }
        return true;
    };

    // Directory: a chain of any length, 128-byte entries.
    if (!chains.Read(firstDir, 1, chain))
        return fail();
    std::vector<uint8_t> dir(chain.size() * sectorSize);
    for (size_t i = 0; i < chain.size(); ++i)
        sector(chain[i], dir.data() + i * sectorSize);
    const size_t entryCount = dir.size() / 128;

    struct RawEntry {
        std::u16string name;
        uint8_t type;
        uint32_t left, right, child, start;
        uint64_t size;
        const uint8_t* p;
    };
    std::vector<RawEntry> raw(entryCount);
    for (size_t i = 0; i < entryCount; ++i) {
        const uint8_t* p = dir.data() + 128 * i;
        RawEntry& e = raw[i];
        unsigned nameBytes = Le16(p + 64);
        if (nameBytes > 64)
            nameBytes = 64;
        for (unsigned k = 0; k + 1 < nameBytes; k += 2) {
            char16_t c = Le16(p + k);
            if (c == 0)
                break;
            e.name.push_back(c);
        }
        e.type = p[66];
        e.left = Le32(p + 68);
        e.right = Le32(p + 72);
        e.child = Le32(p + 76);
        e.start = Le32(p + 116);
        e.size = shift == 9 ? Le32(p + 120) : Le64(p + 120);
        e.p = p;
    }
    if (entryCount == 0 || raw[0].type != 5)
        return fail();

    // Mini stream (the root's data) and its allocation table.
    std::vector<uint8_t> miniStream;
    if (raw[0].size > image.size())
        return fail();
    if (raw[0].size > 0 && !readChain(raw[0].start, raw[0].size, miniStream))
        return fail();
    std::vector<uint32_t> miniFat;
    if (miniFatCount > 0) {
        std::vector<uint8_t> mf;
        if (!chains.Read(firstMiniFat, miniFatCount, chain))
            return fail();
        mf.resize(chain.size() * sectorSize);
        for (size_t i = 0; i < chain.size(); ++i)
            sector(chain[i], mf.data() + i * sectorSize);
        miniFat.resize(mf.size() / 4);
        for (size_t i = 0; i < miniFat.size(); ++i)
            miniFat[i] = Le32(mf.data() + 4 * i);
    }
    ChainReader miniChains(miniFat, miniStream.size() / kMiniSector);

    // Walk the tree from the root; every entry is reached at most once.
    std::vector<bool> reached(entryCount, false);
    reached[0] = true;
    XlsCompoundFile tree;
    tree.entries_.clear();
    struct Pending {
        size_t raw;
        size_t parent;
    };
    std::vector<Pending> todo{{0, SIZE_MAX}};
    while (!todo.empty()) {
        Pending cur = todo.back();
        todo.pop_back();
        const RawEntry& r = raw[cur.raw];
        Entry e;
        e.name = r.name;
        if (r.type != 1 && r.type != 2 && r.type != 5)
            return fail();
        if (r.type == 5 && cur.raw != 0)
            return fail();
        e.type = EntryType(r.type);
        std::memcpy(e.clsid.data(), r.p + 80, 16);
        e.stateBits = Le32(r.p + 96);
        e.created = Le64(r.p + 100);
        e.modified = Le64(r.p + 108);
        if (r.type == 2) {
            if (r.size > image.size())
                return fail();
            if (r.size < miniCutoff) {
                size_t units = size_t((r.size + kMiniSector - 1) / kMiniSector);
                if (r.size > 0) {
                    if (!miniChains.Read(r.start, units, chain))
                        return fail();
                    e.data.resize(size_t(r.size));
                    for (size_t i = 0; i < units; ++i) {
                        size_t n = std::min(kMiniSector, size_t(r.size) - i * kMiniSector);
                        std::memcpy(e.data.data() + i * kMiniSector,
                                    miniStream.data() + size_t(chain[i]) * kMiniSector, n);
                    }
                }
            } else if (!readChain(r.start, r.size, e.data)) {
                return fail();
            }
        }
        size_t index = tree.entries_.size();
        tree.entries_.push_back(std::move(e));
        if (cur.parent != SIZE_MAX)
            tree.entries_[cur.parent].children.push_back(index);
        // Siblings of this entry belong to the same parent; its child tree to it.
        auto visit = [&](uint32_t id, size_t parent) {
            if (id == kNoStream)
                return true;
            if (id >= entryCount || reached[id])
                return false;
            reached[id] = true;
            todo.push_back({id, parent});
            return true;
        };
        if (cur.raw != 0 && (!visit(r.left, cur.parent) || !visit(r.right, cur.parent)))
            return fail();
        if (r.type != 2 && !visit(r.child, index))
            return fail();
    }
    for (Entry& e : tree.entries_)
        std::sort(e.children.begin(), e.children.end(), [&](size_t a, size_t b) {
            return NameLess(tree.entries_[a].name, tree.entries_[b].name);
        });
    entries_ = std::move(tree.entries_);
    return true;
}

std::vector<uint8_t>* XlsCompoundFile::FindStream(const std::u16string& name) {
    for (size_t c : entries_[0].children)
        if (entries_[c].type == EntryType::Stream && SameName(entries_[c].name, name))
            return &entries_[c].data;
    return nullptr;
}

const std::vector<uint8_t>* XlsCompoundFile::FindStream(const std::u16string& name) const {
    return const_cast<XlsCompoundFile*>(this)->FindStream(name);
}

void XlsCompoundFile::SetStream(const std::u16string& name, std::vector<uint8_t> data) {
    if (auto* existing = FindStream(name)) {
        *existing = std::move(data);
        return;
    }
    Entry e;
    e.name = name.substr(0, 31);
    e.type = EntryType::Stream;
    e.data = std::move(data);
    entries_.push_back(std::move(e));
    entries_[0].children.push_back(entries_.size() - 1);
    std::sort(entries_[0].children.begin(), entries_[0].children.end(),
              [&](size_t a, size_t b) { return NameLess(entries_[a].name, entries_[b].name); });
}

std::vector<uint8_t> XlsCompoundFile::Save() const {
    const size_t n = entries_.size();

    // Red-black tree of each storage's children: a balanced tree built from
    // the sorted names; all levels but the deepest are full, so colouring
    // only the deepest level red keeps every path's black count equal.
    std::vector<uint32_t> left(n, kNoStream), right(n, kNoStream), child(n, kNoStream);
    std::vector<uint8_t> colour(n, 1); // 1 black, 0 red
    for (size_t s = 0; s < n; ++s) {
        const std::vector<size_t>& kids = entries_[s].children;
        if (kids.empty())
            continue;
        size_t depthMax = 0;
        for (size_t k = kids.size(); k > 1; k >>= 1)
            ++depthMax;
        struct Range {
            size_t lo, hi, depth;
            uint32_t* link;
        };
        std::vector<Range> stack{{0, kids.size(), 0, &child[s]}};
        while (!stack.empty()) {
            Range r = stack.back();
            stack.pop_back();
            if (r.lo >= r.hi)
                continue;
            size_t mid = r.lo + (r.hi - r.lo) / 2;
            size_t node = kids[mid];
            *r.link = uint32_t(node);
            colour[node] = (r.depth == depthMax && depthMax > 0) ? 0 : 1;
            stack.push_back({r.lo, mid, r.depth + 1, &left[node]});
            stack.push_back({mid + 1, r.hi, r.depth + 1, &right[node]});
        }
    }

    // Mini stream: every stream below the cutoff, packed in 64-byte units.
    std::vector<uint32_t> start(n, kEndOfChain);
    std::vector<uint8_t> mini;
    std::vector<uint32_t> miniFat;
    for (size_t i = 1; i < n; ++i) {
        const Entry& e = entries_[i];
        if (e.type != EntryType::Stream) {
            start[i] = 0;
            continue;
        }
        if (e.data.empty() || e.data.size() >= kMiniCutoff)
            continue;
        size_t units = (e.data.size() + kMiniSector - 1) / kMiniSector;
        start[i] = uint32_t(miniFat.size());
        for (size_t u = 0; u < units; ++u)
            miniFat.push_back(u + 1 < units ? uint32_t(miniFat.size() + 1) : kEndOfChain);
        size_t off = mini.size();
        mini.resize(off + units * kMiniSector, 0);
        std::memcpy(mini.data() + off, e.data.data(), e.data.size());
    }

    auto sectorsFor = [](size_t bytes) { return (bytes + kSector - 1) / kSector; };
    const size_t dirSectors = sectorsFor(n * 128);
    const size_t miniFatSectors = sectorsFor(miniFat.size() * 4);
    const size_t miniSectors = sectorsFor(mini.size());
    size_t streamSectors = 0;
    for (size_t i = 1; i < n; ++i)
        if (entries_[i].type == EntryType::Stream && entries_[i].data.size() >= kMiniCutoff)
            streamSectors += sectorsFor(entries_[i].data.size());
    const size_t dataSectors = dirSectors + miniFatSectors + miniSectors + streamSectors;

    // The FAT describes itself and the DIFAT, so its size is found by fixpoint.
    size_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        size_t total = dataSectors + fatSectors + difatSectors;
        size_t fatNeeded = (total + 127) / 128;
        size_t difatNeeded = fatNeeded > kHeaderDifat ? (fatNeeded - kHeaderDifat + 126) / 127 : 0;
        if (fatNeeded == fatSectors && difatNeeded == difatSectors)
            break;
        fatSectors = std::max(fatSectors, fatNeeded);
        difatSectors = std::max(difatSectors, difatNeeded);
    }
    const size_t totalSectors = fatSectors + difatSectors + dataSectors;
    std::vector<uint32_t> fat(fatSectors * 128, kFreeSect);
    size_t next = 0;
    for (size_t i = 0; i < fatSectors; ++i)
        fat[next++] = kFatSect;
    const size_t firstDifat = next;
    for (size_t i = 0; i < difatSectors; ++i)
        fat[next++] = kDifSect;
    auto allocate = [&](size_t count) {
        uint32_t first = uint32_t(next);
        for (size_t i = 0; i < count; ++i, ++next)
            fat[next] = i + 1 < count ? uint32_t(next + 1) : kEndOfChain;
        return count ? first : kEndOfChain;
    };
    const uint32_t dirStart = allocate(dirSectors);
    const uint32_t miniFatStart = allocate(miniFatSectors);
    const uint32_t miniStart = allocate(miniSectors);
    for (size_t i = 1; i < n; ++i)
        if (entries_[i].type == EntryType::Stream && entries_[i].data.size() >= kMiniCutoff)
            start[i] = allocate(sectorsFor(entries_[i].data.size()));

    std::vector<uint8_t> out((totalSectors + 1) * kSector, 0);
    auto at = [&](size_t sectorIndex) { return out.data() + (sectorIndex + 1) * kSector; };

    uint8_t* h = out.data();
    std::memcpy(h, kSignature, 8);
    SetLe16(h + 24, 0x003E);
    SetLe16(h + 26, 3);
    SetLe16(h + 28, 0xFFFE);
    SetLe16(h + 30, 9);
    SetLe16(h + 32, 6);
    SetLe32(h + 44, uint32_t(fatSectors));
    SetLe32(h + 48, dirStart);
    SetLe32(h + 56, kMiniCutoff);
    SetLe32(h + 60, miniFatStart);
    SetLe32(h + 64, uint32_t(miniFatSectors));
    SetLe32(h + 68, difatSectors ? uint32_t(firstDifat) : kEndOfChain);
    SetLe32(h + 72, uint32_t(difatSectors));
    for (size_t i = 0; i < kHeaderDifat; ++i)
        SetLe32(h + 76 + 4 * i, i < fatSectors ? uint32_t(i) : kFreeSect);
    for (size_t d = 0; d < difatSectors; ++d) {
        uint8_t* p = at(firstDifat + d);
        for (size_t k = 0; k < 127; ++k) {
            size_t f = kHeaderDifat + d * 127 + k;
            SetLe32(p + 4 * k, f < fatSectors ? uint32_t(f) : kFreeSect);
        }
        SetLe32(p + 508, d + 1 < difatSectors ? uint32_t(firstDifat + d + 1) : kEndOfChain);
    }
    for (size_t i = 0; i < fat.size(); ++i)
        SetLe32(at(i / 128) + 4 * (i % 128), fat[i]);

    // Directory entries; unused slots of the last sector stay empty.
    for (size_t i = 0; i < dirSectors * 4; ++i) {
        uint8_t* p = at(dirStart + i / 4) + 128 * (i % 4);
        if (i >= n) {
            SetLe32(p + 68, kNoStream);
            SetLe32(p + 72, kNoStream);
            SetLe32(p + 76, kNoStream);
            continue;
        }
        const Entry& e = entries_[i];
        size_t len = std::min<size_t>(e.name.size(), 31);
        for (size_t k = 0; k < len; ++k)
            SetLe16(p + 2 * k, e.name[k]);
        SetLe16(p + 64, uint16_t((len + 1) * 2));
        p[66] = uint8_t(e.type);
        p[67] = i == 0 ? 1 : colour[i];
        SetLe32(p + 68, i == 0 ? kNoStream : left[i]);
        SetLe32(p + 72, i == 0 ? kNoStream : right[i]);
        SetLe32(p + 76, e.type == EntryType::Stream ? kNoStream : child[i]);
        std::memcpy(p + 80, e.clsid.data(), 16);
        SetLe32(p + 96, e.stateBits);
        SetLe64(p + 100, e.created);
        SetLe64(p + 108, e.modified);
        if (i == 0) {
            SetLe32(p + 116, mini.empty() ? kEndOfChain : miniStart);
            SetLe32(p + 120, uint32_t(mini.size()));
        } else if (e.type == EntryType::Stream) {
            SetLe32(p + 116, start[i]);
            SetLe32(p + 120, uint32_t(e.data.size()));
        }
    }
    for (size_t i = 0; i < miniFat.size(); ++i)
        SetLe32(at(miniFatStart + i / 128) + 4 * (i % 128), miniFat[i]);
    if (!mini.empty())
        std::memcpy(at(miniStart), mini.data(), mini.size());
    for (size_t i = 1; i < n; ++i) {
        const Entry& e = entries_[i];
        if (e.type == EntryType::Stream && e.data.size() >= kMiniCutoff)
            std::memcpy(at(start[i]), e.data.data(), e.data.size());
    }
    return out;
}
