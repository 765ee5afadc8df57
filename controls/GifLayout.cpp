#include "controls/GifLayout.h"

namespace {

class GifCursor {
public:
    explicit GifCursor(const QByteArray& data)
        : data_(reinterpret_cast<const unsigned char*>(data.constData())),
          size_(static_cast<std::size_t>(data.size())) {}

    std::size_t size() const { return size_; }
    bool has(std::size_t pos, std::size_t count) const {
        return pos <= size_ && count <= size_ - pos;
    }
    int byte(std::size_t pos) const { return data_[pos]; }
    int word(std::size_t pos) const { return data_[pos] | (data_[pos + 1] << 8); }

    // Length of a chain of data sub-blocks starting at pos, terminator
    // included; 0 when the chain runs past the end of the file.
    std::size_t subBlocks(std::size_t pos) const {
        std::size_t length = 0;
        while (true) {
            if (!has(pos + length, 1))
                return 0;
            const int n = byte(pos + length);
            if (n == 0)
                return length + 1;
            length += static_cast<std::size_t>(n) + 1;
        }
    }

    // A fixed part of `fixed` bytes followed by sub-blocks; 0 when cut short.
    std::size_t extension(std::size_t pos, std::size_t fixed) const {
        if (!has(pos, fixed))
            return 0;
        const std::size_t chain = subBlocks(pos + fixed);
        return chain == 0 ? 0 : fixed + chain;
    }

    // An image descriptor with its local colour table and image data.
    std::size_t image(std::size_t pos) const {
        if (!has(pos, 11))
            return 0;
        const int packed = byte(pos + 9);
        std::size_t fixed = 11;
        if (packed & 0x80)
            fixed += 3u * (1u << ((packed & 7) + 1));
        return extension(pos, fixed);
    }

private:
    const unsigned char* data_;
    std::size_t size_;
};

// Steps from pos to the end of the next graphic block; false at the trailer,
// an unrecognised block or a block that does not end within the file.
bool NextGraphicBlock(const GifCursor& gif, std::size_t& pos, GifGraphicBlock& block) {
    while (true) {
        if (!gif.has(pos, 1))
            return false;
        const int introducer = gif.byte(pos);
        if (introducer == 0x2C) {
            const std::size_t length = gif.image(pos);
            if (length == 0)
                return false;
            block = {};
            block.begin = pos;
            block.end = pos + length;
            block.left = gif.word(pos + 1);
            block.top = gif.word(pos + 3);
            block.width = gif.word(pos + 5);
            block.height = gif.word(pos + 7);
            block.isImage = true;
            pos = block.end;
            return true;
        }
        if (introducer != 0x21 || !gif.has(pos, 2))
            return false;
        const int label = gif.byte(pos + 1);
        if (label == 0xFF || label == 0xFE) {
            const std::size_t length = gif.extension(pos, label == 0xFF ? 14 : 2);
            if (length == 0)
                return false;
            pos += length;
            continue;
        }
        if (label == 0x01) {
            const std::size_t length = gif.extension(pos, 15);
            if (length == 0)
                return false;
            block = {};
            block.begin = pos;
            block.end = pos + length;
            pos = block.end;
            return true;
        }
        if (label != 0xF9 || !gif.has(pos, 8))
            return false;
        // A graphic control extension and everything up to its image.
        GifGraphicBlock found;
        found.begin = pos;
        found.disposal = (gif.byte(pos + 3) >> 2) & 7;
        found.delay = gif.word(pos + 4);
        std::size_t at = pos + 8;
        while (true) {
            if (!gif.has(at, 1))
                return false;
            const int next = gif.byte(at);
            if (next == 0x2C) {
                const std::size_t length = gif.image(at);
                if (length == 0)
                    return false;
                found.left = gif.word(at + 1);
                found.top = gif.word(at + 3);
                found.width = gif.word(at + 5);
                found.height = gif.word(at + 7);
                found.isImage = true;
                found.end = at + length;
                block = found;
                pos = found.end;
                return true;
            }
            if (next != 0x21 || !gif.has(at, 2))
                return false;
            const int inner = gif.byte(at + 1);
            if (inner != 0xFF && inner != 0xFE)
                return false;
            const std::size_t length = gif.extension(at, inner == 0xFF ? 14 : 2);
            if (length == 0)
                return false;
            at += length;
        }
    }
}

} // namespace

bool HasGifSignature(const QByteArray& data) {
    return data.size() >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F';
}

bool WalkGif(const QByteArray& data, GifLayout& layout) {
    layout = {};
    if (!HasGifSignature(data))
        return false;
    const GifCursor gif(data);
    if (!gif.has(0, 13))
        return false;
    layout.width = gif.word(6);
    layout.height = gif.word(8);
    std::size_t pos = 13;
    const int packed = gif.byte(10);
    if (packed & 0x80)
        pos += 3u * (1u << ((packed & 7) + 1));
    if (pos > gif.size())
        return false;
    layout.headerEnd = pos;
    GifGraphicBlock block;
    while (NextGraphicBlock(gif, pos, block))
        layout.blocks.push_back(block);
    return true;
}

QByteArray BuildSingleFrameGif(const QByteArray& data, const GifLayout& layout,
                               const GifGraphicBlock& block) {
    QByteArray frame;
    frame.reserve(static_cast<qsizetype>(layout.headerEnd + (block.end - block.begin) + 1));
    frame.append(data.constData(), static_cast<qsizetype>(layout.headerEnd));
    frame.append(data.constData() + block.begin, static_cast<qsizetype>(block.end - block.begin));
    frame.append(char(0x3B));
    return frame;
}
