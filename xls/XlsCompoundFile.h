#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A compound file (the OLE2 container that holds an .xls workbook): a small
// file system of storages and streams inside one file of 512-byte sectors.
// Loading reads every stream into memory; saving writes a fresh version-3
// container with the same tree, so streams the caller never touches (summary
// information, macros, ...) come back unchanged. Damaged input (loops in a
// chain, sectors used twice, sizes past the end) is refused, and memory use
// stays within a small multiple of the file size.
class XlsCompoundFile {
public:
    enum class EntryType : uint8_t { Storage = 1, Stream = 2, Root = 5 };

    struct Entry {
        std::u16string name;
        EntryType type = EntryType::Stream;
        std::array<uint8_t, 16> clsid{};
        uint32_t stateBits = 0;
        uint64_t created = 0;
        uint64_t modified = 0;
        std::vector<uint8_t> data;    // streams only
        std::vector<size_t> children; // storages and the root: indexes into entries()
    };

    XlsCompoundFile();

    // Parses a whole file image; false (and an empty tree) when it is not a
    // sound compound file.
    bool Load(const std::vector<uint8_t>& image);
    // Serialises the tree as a version-3 compound file image.
    std::vector<uint8_t> Save() const;

    // A stream directly below the root, by name compared without case; nullptr when absent.
    std::vector<uint8_t>* FindStream(const std::u16string& name);
    const std::vector<uint8_t>* FindStream(const std::u16string& name) const;
    // Replaces or adds a stream directly below the root.
    void SetStream(const std::u16string& name, std::vector<uint8_t> data);

    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_; // [0] is the root
};
