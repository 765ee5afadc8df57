#pragma once

#include <QByteArray>
#include <cstddef>
#include <vector>

// The block structure of a GIF file as the picture control walks it: the
// logical screen size, where the header and global colour table end, and one
// entry per graphic block (an image with its optional graphic control
// extension, or a plain-text extension). A damaged block ends the walk; the
// blocks before it are kept.
struct GifGraphicBlock {
    std::size_t begin = 0; // first byte (the graphic control extension when present)
    std::size_t end = 0;   // one past the last byte of the image data
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int delay = -1;   // hundredths of a second; -1 without a graphic control extension
    int disposal = 0; // bits 2-4 of the extension's packed byte; 0 without one
    bool isImage = false;
};

struct GifLayout {
    int width = 0;
    int height = 0;
    std::size_t headerEnd = 0; // 13-byte header plus the global colour table
    std::vector<GifGraphicBlock> blocks;
};

// True when data starts with the bytes "GIF".
bool HasGifSignature(const QByteArray& data);

// Walks data; false when it is not a GIF or its header is cut short. The
// layout may hold zero blocks.
bool WalkGif(const QByteArray& data, GifLayout& layout);

// A one-frame GIF: the header and global colour table of the file, the bytes
// of the block, then the trailer.
QByteArray BuildSingleFrameGif(const QByteArray& data, const GifLayout& layout,
                               const GifGraphicBlock& block);
