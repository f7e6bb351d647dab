#include "boothapp.h"

#include "boothdlg.h"
#include "composition.h"
#include "messagebox.h"
#include "paths.h"
#include "resscheme.h"
#include "settings.h"
#include "stringtable.h"

#include <QThread>
#include <future>
#include <utility>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace pelmora {

namespace {
CBoothApp* g_app = nullptr;
}

CBoothApp::CBoothApp(int& argc, char** argv)
{
    // The web engine's sandbox refuses to start as root, as a kiosk machine
    // may run the booth; a normal user keeps it.
#ifdef Q_OS_UNIX
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    // The web engine wants its schemes before the application object exists.
    RegisterWizardSchemes();
    // Docks and task switchers match the window to the desktop entry, and so
    // to its name and icon, by the Wayland app id and the X11 window class:
    // the app id is the entry's name, the class (StartupWMClass) the
    // program's, however the program was started (its link is "pelmora").
    QGuiApplication::setDesktopFileName(QStringLiteral("example.orvane.Pelmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmora"));
    m_qapp = std::make_unique<QApplication>(argc, argv);
    // Before the wizard window creates its web view.
    ChooseWindowComposition();
    g_app = this;
}

CBoothApp::~CBoothApp()
{
    g_app = nullptr;
}

CBoothApp* CBoothApp::Instance() { return g_app; }

bool CBoothApp::InitInstance()
{
    CBoothDlg dlg;
    RecordInstalledDirectory(ExecutableFolder());
    m_pMainWnd = &dlg;
    SetMessageBoxOwner(&dlg);

    // The capture graph is built on a thread of its own while the web engine
    // starts and loads the welcome page here; the window shows only once the
    // camera is known, so a message about it still comes before any window.
    // A GStreamer that cannot start fails the build (message 3).
    QThread* windowThread = QThread::currentThread();
    auto build = std::async(std::launch::async, [this, windowThread] {
        std::unique_ptr<CCaptureGraph> graph;
        const HRESULT result = BuildCaptureGraph(&graph, &m_grabCallback);
        if (graph)
            graph->moveToThread(windowThread);
        return std::make_pair(result, std::move(graph));
    });
    dlg.Prepare();
    auto [hr, graph] = build.get();
    m_pGraph = std::move(graph);
    dlg.SetCapture(m_pGraph.get(), &m_grabCallback);
    if (FAILED(hr)) {
        AfxMessageBox(IDS_INIT_FAILED);
    } else if (hr == S_FALSE) {
        AfxMessageBox(IDS_NO_CAPTURE_DEVICE);
    } else {
        m_pGraph->StartWatching();
        dlg.DoModal();
    }
    // The graph goes before the window object, as the capture thread may
    // still be posting to it until the pipeline has stopped.
    m_pGraph.reset();
    m_grabCallback.m_hWndNotify = nullptr;
    SetMessageBoxOwner(nullptr);
    m_pMainWnd = nullptr;
    return false;
}

} // namespace pelmora
