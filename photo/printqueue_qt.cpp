// Without CUPS: the toolkit's printer list, and no queue state to read.
#include "printqueue.h"

#include <QPrinterInfo>

namespace pelmora {

PrinterList ListPrinters() { return {true, QPrinterInfo::availablePrinterNames()}; }

QueueState ReadQueueState(const QString&) { return {}; }

} // namespace pelmora
