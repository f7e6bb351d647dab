#pragma once
// The shutter animation of the Capture command: ten outlines that shrink from
// the video towards the strip slot of the photo being taken, each drawn
// inverted over whatever is on screen and erased again.
//
// Rectangles here are the platform's (left, top, right, bottom) edges held in
// a QRect's left(), top(), right() and bottom(); make them with GdiRect.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <functional>

class QWidget;

namespace pelmora {

inline constexpr QRect GdiRect(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The video area the animation starts from, in the main window's client pixels.
inline constexpr QRect kShutterStartRect = GdiRect(69, 120, 481, 429);
// Delay per outline used by the Capture command, in milliseconds.
inline constexpr int kShutterStepDelayMs = 10;

// The strip slot the outlines move towards when photoCount photos are on the
// sheet already; from the tenth photo on always the slot beyond the strip's
// visible end.
QRect ShutterEndRect(int photoCount);

// The ten outlines in screen coordinates: outline i moves i tenths of the way
// from start to end, each edge truncated toward zero, then shifted by the
// screen position of the client area's origin. The end itself is not among
// them.
std::array<QRect, 10> ShutterOutlines(const QRect& start, const QRect& end, const QPoint& clientOrigin);

// The screen's picture of the window as the platform gives it: empty on
// native Wayland, all black on XWayland.
QImage GrabScreen(QWidget* window);

// What the outlines invert: the screen's picture of the window when it shows
// anything, else what the window's own widgets draw (the page, the video's
// current frame, the strip), which is what the screen shows there.
QImage ShutterBackdrop(QWidget* window, const QImage& screenGrab);

// Draws the outlines over `window` (start and end in its client coordinates),
// each for delayMs, with a 2-pixel line that inverts the pixels beneath, and
// leaves nothing on screen. Returns after 50 ms plus ten times the delay;
// meanwhile the window thread goes on painting (the live video moves under
// the outlines) but handles no input. afterDraw, when given,
// is called with the outline's index while each outline is on screen;
// grabScreen takes the screen's picture of the window.
void AnimateShutter(QWidget* window, const QRect& start, const QRect& end, int delayMs,
                    const std::function<void(int)>& afterDraw = {},
                    const std::function<QImage(QWidget*)>& grabScreen = GrabScreen);

// The Capture command's shutter: the sound played to its end, then the
// outlines from the video area towards the slot of the photo after
// photoCount, 10 ms each. The clicks the user makes meanwhile wait until it
// is over; the live video does not.
void RunShutter(QWidget* window, int photoCount, const QString& sound = QStringLiteral("Camera.wav"));

} // namespace pelmora
