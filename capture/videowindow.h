#pragma once
#include <cstdint>
#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;

namespace pelmora {

// The live camera picture: the capture graph's renderer, shown as a child of
// the main window on the capture page. It paints the latest frame the graph
// handed over, scaled to its own size, and keeps showing it when the stream
// stops.
class CVideoWindow : public QWidget {
public:
    // Window-style bits the owner passes; only the child bit means anything here.
    static constexpr long WS_CHILD = 0x40000000L;
    static constexpr long WS_CLIPSIBLINGS = 0x04000000L;

    explicit CVideoWindow(QWidget* parent = nullptr);

    // The window becomes a child of owner (hidden until put_Visible); null makes
    // it a detached, hidden top-level window again, so that the owner's
    // destruction does not take the window with it.
    void put_Owner(QWidget* owner);
    void put_WindowStyle(long style);
    long WindowStyle() const { return m_style; }
    void SetWindowPosition(int x, int y, int width, int height);
    void put_Caption(const QString& caption);
    void put_Visible(bool visible);

    // Window thread only: the renderer's newest frame, painted at the next update.
    void ShowFrame(const QImage& frame);

    QImage CurrentFrame() const { return m_frame; }
    // The current frame as the window shows it, scaled to `target`; black
    // before the first frame.
    void PaintFrame(QPainter& painter, const QRect& target) const;
    // Frames handed over by the renderer, and frames that reached the screen
    // (a frame replaced before the next paint is counted once, not painted).
    std::uint64_t ReceivedFrames() const { return m_receivedFrames; }
    std::uint64_t PaintedFrames() const { return m_paintedFrames; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_frame;
    long m_style = 0;
    std::uint64_t m_receivedFrames = 0;
    std::uint64_t m_paintedFrames = 0;
    bool m_framePainted = true;
};

} // namespace pelmora
