#pragma once
#include <memory>

class QDialog;
class QWidget;

namespace pelmora {

class CCaptureGraph;

// The camera's property sheet: a dialog titled with the camera's name that
// holds a control for each adjustable setting of the graph's element named
// exactly "CaptureDevice" (a real camera's colour-balance channels, or the
// test camera's pattern, colours and the like). Changes apply at once, while
// the camera runs; the sheet closes when the camera is taken out of the graph.
// Null when no camera is attached, or it has nothing to adjust.
std::unique_ptr<QDialog> CreateCaptureDevicePropertySheet(CCaptureGraph* graph, QWidget* owner);

// The "Configure" command: shows the sheet modally and returns when the user
// closes it; shows nothing when the camera has no settings.
void ShowCaptureDeviceProperties(CCaptureGraph* graph, QWidget* owner);

} // namespace pelmora
