#include "controls/CTPicture.h"

#include "controls/GifLayout.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QMetaObject>
#include <QPainter>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Everything the animation thread touches lives here, owned jointly by the
// control and the thread, so a thread that outlives its wait never reaches
// into a destroyed control.
struct CTPicture::Animation {
    std::vector<GifFrame> frames;
    QColor background;
    std::size_t current = 0; // next frame to show; kept across a stop

    mutable std::mutex imageLock; // the off-screen image and the saved area
    QImage offscreen;
    QImage saved;
    QRect savedRect;

    std::mutex stopLock;
    std::condition_variable stopEvent;
    bool stopSignalled = false;
    std::atomic<bool> stopRequest{false};
    std::atomic<bool> animating{false};
    bool finished = true;
    std::condition_variable finishedEvent;

    std::mutex repaintLock;
    QWidget* target = nullptr; // read and cleared only under repaintLock
    std::thread thread;

    void requestRepaint() {
        std::lock_guard<std::mutex> guard(repaintLock);
        if (target)
            QMetaObject::invokeMethod(target, "update", Qt::QueuedConnection);
    }

    // False when a stop was requested during the wait.
    bool waitStop(int ms) {
        std::unique_lock<std::mutex> guard(stopLock);
        stopEvent.wait_for(guard, std::chrono::milliseconds(ms), [&] { return stopSignalled; });
        return !stopRequest.load();
    }

    void fillRect(const QRect& r) {
        std::lock_guard<std::mutex> guard(imageLock);
        QPainter painter(&offscreen);
        painter.fillRect(r, background);
    }

    void restoreSaved() {
        std::lock_guard<std::mutex> guard(imageLock);
        if (saved.isNull())
            return;
        QPainter painter(&offscreen);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(savedRect.topLeft(), saved);
        saved = QImage();
    }

    void run() {
        animating = true;
        if (current < frames.size()) {
            const GifFrame& f = frames[current];
            const QRect r(f.left, f.top, f.width, f.height);
            if (f.disposal == 2)
                fillRect(r);
            else if (f.disposal == 3)
                restoreSaved();
        }
        while (!stopRequest && !frames.empty()) {
            if (current >= frames.size())
                current = 0;
            const GifFrame& f = frames[current];
            const QRect r(f.left, f.top, f.width, f.height);
            if (!f.picture.isNull()) {
                {
                    std::lock_guard<std::mutex> guard(imageLock);
                    if (f.disposal == 3) {
                        saved = offscreen.copy(r);
                        savedRect = r;
                    }
                    QPainter painter(&offscreen);
                    painter.drawImage(r, f.picture);
                }
                requestRepaint();
                if (stopRequest)
                    break;
                if (!waitStop(FrameWaitMs(f.delay)))
                    break;
                if (f.disposal == 2)
                    fillRect(r);
                else if (f.disposal == 3)
                    restoreSaved();
            }
            ++current;
            if (current >= frames.size()) {
                current = 0;
                fillRect(offscreen.rect());
            }
        }
        animating = false;
        std::lock_guard<std::mutex> guard(stopLock);
        finished = true;
        finishedEvent.notify_all();
    }
};

namespace {

QImage DecodePicture(const QByteArray& data, const char* format = nullptr) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(format == nullptr);
    return reader.read();
}

} // namespace

CTPicture::CTPicture(QWidget* parent)
    : QWidget(parent), m_animation(std::make_shared<Animation>()) {
    m_animation->target = this;
}

CTPicture::~CTPicture() {
    StopAnimation();
    std::lock_guard<std::mutex> guard(m_animation->repaintLock);
    m_animation->target = nullptr;
}

bool CTPicture::IsAnimating() const {
    return m_animation->animating.load();
}

const std::vector<GifFrame>& CTPicture::Frames() const {
    return m_animation->frames;
}

int CTPicture::CurrentFrame() const {
    if (IsAnimating())
        return -1; // moving; only meaningful while stopped
    return static_cast<int>(m_animation->current);
}

QImage CTPicture::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_animation->imageLock);
    return m_animation->offscreen.copy();
}

bool CTPicture::LoadPicture(const QString& path) {
    UnloadPicture();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    return LoadPictureData(data);
}

bool CTPicture::LoadPictureData(const QByteArray& data) {
    UnloadPicture();
    Animation& a = *m_animation;
    if (!HasGifSignature(data)) {
        m_still = DecodePicture(data);
        if (m_still.isNull())
            return false;
        m_width = m_still.width();
        m_height = m_still.height();
    } else {
        m_isGif = true;
        GifLayout layout;
        if (!WalkGif(data, layout) || layout.blocks.empty()) {
            UnloadPicture();
            return false;
        }
        m_width = layout.width;
        m_height = layout.height;
        if (layout.blocks.size() == 1) {
            m_still = DecodePicture(data, "gif");
            if (m_still.isNull()) {
                UnloadPicture();
                return false;
            }
        } else {
            for (const GifGraphicBlock& block : layout.blocks) {
                QImage picture = DecodePicture(BuildSingleFrameGif(data, layout, block), "gif");
                if (picture.isNull())
                    continue;
                // The decoder gives the logical screen with the frame in it;
                // keep only the frame's own rectangle.
                const QRect r(block.left, block.top, block.width, block.height);
                if (picture.size() != r.size())
                    picture = picture.copy(r);
                GifFrame frame;
                frame.picture = std::move(picture);
                frame.width = block.width;
                frame.height = block.height;
                frame.left = block.left;
                frame.top = block.top;
                frame.delay = block.delay;
                frame.disposal = block.disposal;
                a.frames.push_back(std::move(frame));
            }
            if (a.frames.empty()) {
                UnloadPicture();
                return false;
            }
        }
    }
    if (m_width <= 0 || m_height <= 0) {
        UnloadPicture();
        return false;
    }
    resize(m_width, m_height);
    a.background = palette().color(QPalette::Button);
    {
        std::lock_guard<std::mutex> guard(a.imageLock);
        a.offscreen = QImage(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
        if (a.offscreen.isNull()) {
            UnloadPicture();
            return false;
        }
        a.offscreen.fill(palette().color(QPalette::Window));
    }
    m_loaded = true;
    return true;
}

bool CTPicture::DrawPicture() {
    if (!m_loaded)
        return false;
    Animation& a = *m_animation;
    if (m_isGif && a.frames.size() >= 2) {
        if (a.thread.joinable())
            return false; // already running
        {
            std::lock_guard<std::mutex> guard(a.stopLock);
            a.finished = false;
            a.stopSignalled = false;
        }
        a.stopRequest = false;
        a.animating = true;
        std::shared_ptr<Animation> shared = m_animation;
        a.thread = std::thread([shared] { shared->run(); });
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(a.imageLock);
        QPainter painter(&a.offscreen);
        painter.drawImage(QRect(0, 0, m_width, m_height), m_still);
    }
    update();
    return true;
}

void CTPicture::StopAnimation() {
    Animation& a = *m_animation;
    a.stopRequest = true;
    a.animating = false;
    {
        std::unique_lock<std::mutex> guard(a.stopLock);
        a.stopSignalled = true;
        a.stopEvent.notify_all();
        a.finishedEvent.wait_for(guard, std::chrono::milliseconds(5000),
                                 [&] { return a.finished; });
    }
    if (a.thread.joinable()) {
        bool done;
        {
            std::lock_guard<std::mutex> guard(a.stopLock);
            done = a.finished;
        }
        if (done) {
            a.thread.join();
        } else {
            // Still drawing after the wait: let it go. It holds its own share
            // of the state; a fresh state serves the control from now on.
            a.thread.detach();
            {
                std::lock_guard<std::mutex> guard(a.repaintLock);
                a.target = nullptr;
            }
            auto fresh = std::make_shared<Animation>();
            fresh->frames = a.frames;
            fresh->background = a.background;
            fresh->offscreen = Snapshot();
            fresh->target = this;
            m_animation = fresh;
        }
    }
    std::lock_guard<std::mutex> guard(m_animation->stopLock);
    m_animation->stopSignalled = false;
    m_animation->stopRequest = false;
}

void CTPicture::UnloadPicture() {
    StopAnimation();
    Animation& a = *m_animation;
    a.frames.clear();
    a.current = 0;
    {
        std::lock_guard<std::mutex> guard(a.imageLock);
        a.offscreen = QImage();
        a.saved = QImage();
    }
    m_still = QImage();
    m_loaded = false;
    m_isGif = false;
    m_width = 0;
    m_height = 0;
}

void CTPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard<std::mutex> guard(m_animation->imageLock);
    if (!m_animation->offscreen.isNull())
        painter.drawImage(QPoint(0, 0), m_animation->offscreen);
}
