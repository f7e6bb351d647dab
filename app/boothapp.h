#pragma once
// The application object: its InitInstance does the program's whole life —
// records where it is installed, builds the capture graph, runs the wizard
// window modally and tears everything down again.
#include "capturegraph.h"
#include "framegrab.h"

#include <QApplication>
#include <memory>

namespace pelmora {

class CBoothDlg;

class CBoothApp {
public:
    CBoothApp(int& argc, char** argv);
    ~CBoothApp();
    CBoothApp(const CBoothApp&) = delete;
    CBoothApp& operator=(const CBoothApp&) = delete;

    // Runs the program; always returns false (no message loop of its own
    // follows: the wizard's modal loop was the only one).
    bool InitInstance();

    // The running application object, nullptr when there is none.
    static CBoothApp* Instance();

    std::unique_ptr<CCaptureGraph> m_pGraph;
    CFrameGrabCallback m_grabCallback;
    CBoothDlg* m_pMainWnd = nullptr;

private:
    std::unique_ptr<QApplication> m_qapp;
};

} // namespace pelmora
