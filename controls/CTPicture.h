#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <vector>

// One frame of an animated GIF.
struct GifFrame {
    QImage picture;
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    int delay = -1;   // hundredths of a second; -1 without a graphic control extension
    int disposal = 0; // 2 = restore to background, 3 = restore to previous
};

// Shows an image file: still pictures by content, and animated GIFs, which
// are walked block by block, decoded frame by frame and played on a thread of
// their own into an off-screen image that the control copies when it paints.
class CTPicture : public QWidget {
    Q_OBJECT
public:
    explicit CTPicture(QWidget* parent = nullptr);
    ~CTPicture() override;

    // Reads and decodes the file; true when an image is loaded. Always starts
    // from nothing loaded. The control takes the image's size.
    bool LoadPicture(const QString& path);
    bool LoadPictureData(const QByteArray& data);
    // Starts the animation of a GIF with two or more frames, or draws the
    // still picture once. True only for a still picture drawn.
    bool DrawPicture();
    void UnloadPicture();
    // Ends the animation thread, waiting at most 5000 ms; the current frame is
    // kept, so a later DrawPicture continues from it.
    void StopAnimation();

    bool IsLoaded() const { return m_loaded; }
    bool IsGif() const { return m_isGif; }
    bool IsAnimating() const;
    QSize ImageSize() const { return {m_width, m_height}; }
    const std::vector<GifFrame>& Frames() const;
    int CurrentFrame() const;
    // A copy of the off-screen image.
    QImage Snapshot() const;

    // How long a frame with this delay (hundredths of a second) stays.
    static int FrameWaitMs(int delay) { return delay > 4 ? delay * 10 : 100; }

    struct Animation; // shared with the animation thread

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_loaded = false;
    bool m_isGif = false;
    int m_width = 0;
    int m_height = 0;
    QImage m_still;
    std::shared_ptr<Animation> m_animation;
};
