#include "composition.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>

namespace pelmora {

namespace {

// The renderer of the context the web engine shares its own with (it exists
// once the QApplication does); empty when it is missing or unusable.
QByteArray SharedContextRenderer()
{
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    if (!context || !context->isValid())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    if (!surface.isValid() || !context->makeCurrent(&surface))
        return {};
    const auto* text = reinterpret_cast<const char*>(context->functions()->glGetString(GL_RENDERER));
    const QByteArray renderer(text ? text : "");
    context->doneCurrent();
    return renderer;
}

} // namespace

bool IsSoftwareRenderer(const QByteArray& renderer)
{
    // Mesa's software rasterizers (also behind zink on lavapipe), Chromium's
    // and Windows' own.
    static const char* const kSoftware[] = {"llvmpipe", "softpipe", "software rasterizer",
                                            "swiftshader", "gdi generic"};
    const QByteArray lower = renderer.toLower();
    if (lower.trimmed().isEmpty())
        return true;
    for (const char* name : kSoftware)
        if (lower.contains(name))
            return true;
    return false;
}

bool ChooseWindowComposition()
{
    for (const char* choice : {"QT_QUICK_BACKEND", "QMLSCENE_DEVICE", "QSG_RHI_BACKEND"})
        if (!qEnvironmentVariableIsEmpty(choice))
            return QQuickWindow::graphicsApi() == QSGRendererInterface::Software;
    if (QQuickWindow::graphicsApi() != QSGRendererInterface::Software &&
        IsSoftwareRenderer(SharedContextRenderer()))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return QQuickWindow::graphicsApi() == QSGRendererInterface::Software;
}

} // namespace pelmora
