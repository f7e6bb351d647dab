#pragma once
#include <QImage>
#include <QJsonValue>
#include <QString>
#include <memory>

class QWebEngineView;

// One 800 by 600 web view that loads the wizard pages the way the booth does:
// "res://" + the executable's full path + "/" + the page name.
class PageHost {
public:
    PageHost();
    ~PageHost();

    // Loads a page and waits until it has finished; false if it failed or
    // did not finish within a generous bound.
    bool load(const QString& name);

    // Runs a script in the page and gives its result, which the script
    // returns as JSON text (JSON.stringify), parsed. Undefined on failure.
    QJsonValue eval(const QString& script);

    // Spins the event loop until the script yields true, or a bound passes.
    bool waitUntil(const QString& condition);

    // What the screen shows of the view.
    QImage screenshot();

    QWebEngineView* view() const { return m_view.get(); }
    static QString urlFor(const QString& name);

private:
    std::unique_ptr<QWebEngineView> m_view;
};
