// The printers and their queues as the CUPS scheduler reports them.
#include "printqueue.h"

#include <cups/cups.h>
#include <memory>

namespace pelmora {

PrinterList ListPrinters()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    PrinterList list;
    // No destinations is an answer too; a scheduler that cannot be reached
    // leaves its own status behind.
    list.serviceReachable = count > 0 || cupsLastError() != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    for (int i = 0; i < count; ++i) {
        // Named as the toolkit's print dialog names them.
        QString name = QString::fromLocal8Bit(dests[i].name);
        if (dests[i].instance)
            name += QLatin1Char('/') + QString::fromLocal8Bit(dests[i].instance);
        list.names << name;
    }
    cupsFreeDests(count, dests);
    return list;
}

QueueState ReadQueueState(const QString& printer)
{
    QueueState queue;
    // An instance ("photo/large") shares its queue with the printer.
    const QByteArray name = printer.section(QLatin1Char('/'), 0, 0).toLocal8Bit();
    char uri[HTTP_MAX_URI];
    if (name.isEmpty()
        || httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                            "/printers/%s", name.constData()) != HTTP_URI_STATUS_OK) {
        queue.answer = QueueState::Answer::NoSuchPrinter;
        return queue;
    }
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    static const char* const wanted[] = {"printer-state", "printer-state-reasons", "printer-is-accepting-jobs"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(std::size(wanted)),
                  nullptr, wanted);
    // cupsDoRequest takes the request and frees it.
    const std::unique_ptr<ipp_t, decltype(&ippDelete)> response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"),
                                                                &ippDelete);
    const ipp_status_t status = cupsLastError();
    if (!response || status >= IPP_STATUS_ERROR_BAD_REQUEST) {
        if (status == IPP_STATUS_ERROR_NOT_FOUND)
            queue.answer = QueueState::Answer::NoSuchPrinter;
        else if (status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE)
            queue.answer = QueueState::Answer::ServiceUnreachable;
        return queue;
    }
    queue.answer = QueueState::Answer::Known;
    if (ipp_attribute_t* state = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM))
        queue.state = ippGetInteger(state, 0);
    if (ipp_attribute_t* accepting = ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        queue.accepting = ippGetBoolean(accepting, 0);
    if (ipp_attribute_t* reasons = ippFindAttribute(response.get(), "printer-state-reasons", IPP_TAG_KEYWORD))
        for (int i = 0; i < ippGetCount(reasons); ++i)
            queue.reasons << QString::fromUtf8(ippGetString(reasons, i, nullptr));
    return queue;
}

} // namespace pelmora
