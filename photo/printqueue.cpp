// The words for what keeps a print queue from printing; portable.
#include "printqueue.h"

#include <utility>

namespace pelmora {

namespace {

// A printer-state-reasons keyword carries its severity as a suffix
// ("media-empty-error", "-warning", "-report"); whichever it is, the printer
// reports the condition now.
bool HasReason(const QStringList& reasons, QLatin1String keyword)
{
    for (const QString& reason : reasons) {
        if (reason == keyword)
            return true;
        for (const char* severity : {"-error", "-warning", "-report"})
            if (reason.startsWith(keyword) && reason.mid(keyword.size()) == QLatin1String(severity))
                return true;
    }
    return false;
}

} // namespace

QString QueueProblem(const QueueState& queue)
{
    switch (queue.answer) {
    case QueueState::Answer::Unknown:
        return {};
    case QueueState::Answer::NoSuchPrinter:
        return QStringLiteral("it is no longer set up on this computer");
    case QueueState::Answer::ServiceUnreachable:
        return QStringLiteral("the printing service of this computer does not answer");
    case QueueState::Answer::Known:
        break;
    }
    QStringList problems;
    // Stopped is IPP's printer-state 5: paused by hand, or halted by the
    // scheduler after a failed job. Jobs sent to it wait without a word.
    if (queue.state == 5)
        problems << (HasReason(queue.reasons, QLatin1String("paused")) ? QStringLiteral("it is paused")
                                                                         : QStringLiteral("it has stopped"));
    if (!queue.accepting)
        problems << QStringLiteral("it does not accept new jobs");
    static const std::pair<QLatin1String, const char*> conditions[] = {
        {QLatin1String("media-empty"), "it is out of paper"},
        {QLatin1String("media-jam"), "the paper is jammed"},
        {QLatin1String("marker-supply-empty"), "its ink or ribbon is used up"},
        {QLatin1String("offline"), "it is switched off or not connected"},
    };
    for (const auto& [keyword, words] : conditions)
        if (HasReason(queue.reasons, keyword))
            problems << QString::fromLatin1(words);
    return problems.join(QStringLiteral("; "));
}

} // namespace pelmora
