#pragma once
// What the printing system says about its printers: which there are, and
// whether one of them can take a job now. On CUPS this is read from the
// scheduler; elsewhere the toolkit's printer list stands in and every printer
// counts as ready.
#include <QString>
#include <QStringList>

namespace pelmora {

struct PrinterList {
    // False when the printing service does not answer at all.
    bool serviceReachable = true;
    QStringList names;
};

PrinterList ListPrinters();

// A print queue's state as IPP reports it.
struct QueueState {
    enum class Answer {
        Known,              // the fields below hold the queue's state
        NoSuchPrinter,      // the service does not know the queue (any more)
        ServiceUnreachable, // the service does not answer
        Unknown,            // this platform cannot tell; the job is sent
    };
    Answer answer = Answer::Unknown;
    int state = 3; // printer-state: 3 idle, 4 processing, 5 stopped
    bool accepting = true; // printer-is-accepting-jobs
    QStringList reasons;   // printer-state-reasons, e.g. "media-empty-error"
};

QueueState ReadQueueState(const QString& printer);

// Why a job sent to a queue in this state would not be printed, in plain
// words ("it is paused; it is out of paper"); empty when it can print.
QString QueueProblem(const QueueState& queue);

} // namespace pelmora
