#include "tools/skingen/GifWriter.h"

namespace {

void PutWord(QByteArray& out, int value) {
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

// Packs variable-width codes least significant bit first into sub-blocks.
class CodePacker {
public:
    void put(int code, int bits) {
        accumulator_ |= static_cast<unsigned>(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            bytes_.append(char(accumulator_ & 0xFF));
            accumulator_ >>= 8;
            count_ -= 8;
        }
    }
    QByteArray finish() {
        if (count_ > 0)
            bytes_.append(char(accumulator_ & 0xFF));
        QByteArray blocks;
        for (qsizetype i = 0; i < bytes_.size(); i += 255) {
            const qsizetype n = qMin<qsizetype>(255, bytes_.size() - i);
            blocks.append(char(n));
            blocks.append(bytes_.constData() + i, n);
        }
        blocks.append(char(0));
        return blocks;
    }

private:
    unsigned accumulator_ = 0;
    int count_ = 0;
    QByteArray bytes_;
};

} // namespace

GifWriter::GifWriter(int width, int height, const QVector<QColor>& palette)
    : width_(width), height_(height) {
    out_.append("GIF89a", 6);
    PutWord(out_, width);
    PutWord(out_, height);
    out_.append(char(0xF7)); // global table of 256 entries, 8 bits of colour resolution
    out_.append(char(0));    // background index
    out_.append(char(0));    // no aspect ratio
    for (int i = 0; i < 256; ++i) {
        const QColor c = i < palette.size() ? palette[i] : QColor(Qt::black);
        out_.append(char(c.red()));
        out_.append(char(c.green()));
        out_.append(char(c.blue()));
    }
    // Loop for ever.
    out_.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
}

void GifWriter::AddFrame(const std::vector<unsigned char>& indices, int delayHundredths,
                         int disposal) {
    out_.append(char(0x21));
    out_.append(char(0xF9));
    out_.append(char(4));
    out_.append(char((disposal & 7) << 2));
    PutWord(out_, delayHundredths);
    out_.append(char(0));
    out_.append(char(0));

    out_.append(char(0x2C));
    PutWord(out_, 0);
    PutWord(out_, 0);
    PutWord(out_, width_);
    PutWord(out_, height_);
    out_.append(char(0)); // no local table, not interlaced

    // LZW with 8-bit roots, kept at 9-bit codes by a clear code before the
    // table would grow: simple, valid, and small enough for a tiny image.
    constexpr int kMinCodeSize = 8;
    constexpr int kClear = 1 << kMinCodeSize;
    constexpr int kEnd = kClear + 1;
    out_.append(char(kMinCodeSize));
    CodePacker packer;
    packer.put(kClear, 9);
    int sinceClear = 0;
    for (unsigned char index : indices) {
        packer.put(index, 9);
        if (++sinceClear == 254) {
            packer.put(kClear, 9);
            sinceClear = 0;
        }
    }
    packer.put(kEnd, 9);
    out_.append(packer.finish());
}

QByteArray GifWriter::Finish() {
    QByteArray result = out_;
    result.append(char(0x3B));
    return result;
}
