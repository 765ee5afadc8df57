#pragma once

#include <QByteArray>
#include <QColor>
#include <QVector>

#include <vector>

// A minimal GIF89a writer for the animated busy indicator: one global
// palette of up to 256 colours, full-size opaque frames, a looping
// application extension and a per-frame delay and disposal.
class GifWriter {
public:
    GifWriter(int width, int height, const QVector<QColor>& palette);

    // indices: width * height palette indices, row by row.
    void AddFrame(const std::vector<unsigned char>& indices, int delayHundredths, int disposal);
    QByteArray Finish();

private:
    int width_;
    int height_;
    QByteArray out_;
};
