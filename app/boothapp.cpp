#include "boothapp.h"

#include "boothdlg.h"
#include "messagebox.h"
#include "paths.h"
#include "resscheme.h"
#include "settings.h"
#include "stringtable.h"

#include <gst/gst.h>
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
    m_qapp = std::make_unique<QApplication>(argc, argv);
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

    gst_init(nullptr, nullptr);
    const HRESULT hr = BuildCaptureGraph(&m_pGraph, &m_grabCallback);
    if (FAILED(hr)) {
        AfxMessageBox(IDS_INIT_FAILED);
    } else if (hr == S_FALSE) {
        AfxMessageBox(IDS_NO_CAPTURE_DEVICE);
    } else {
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
