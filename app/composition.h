#pragma once
// How the wizard window puts its web view and its native controls on screen.
//
// A web view in a window makes Qt compose the whole window through the scene
// graph's renderer: with OpenGL, every paint of any widget in it, the live
// video thirty times a second above all, recomposes all 800 by 600 pixels.
// On a graphics processor that costs little; on an OpenGL that draws with
// the processor (Mesa's llvmpipe on a machine or virtual display without
// one) it costs half a core and tens of milliseconds per frame. The web
// engine's software path composes the window as a plain one and repaints
// only what changed.
#include <QByteArray>

namespace pelmora {

// True when an OpenGL renderer (its GL_RENDERER text) draws with the
// processor, or when there is none (empty).
bool IsSoftwareRenderer(const QByteArray& renderer);

// Chooses the web engine's software path when OpenGL draws with the
// processor or cannot be used, and leaves the OpenGL path otherwise. A
// backend the user chose (QT_QUICK_BACKEND, QSG_RHI_BACKEND) stays as it is.
// Call after the QApplication exists and before the first web view.
// Returns true when the window is composed in software.
bool ChooseWindowComposition();

} // namespace pelmora
