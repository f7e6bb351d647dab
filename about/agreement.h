#pragma once
#include <QString>

namespace pelmora {

// The two parts of the end-user agreement (1,932 and 654 characters); the
// About box shows the first followed by the second.
QString AgreementPart1();
QString AgreementPart2();

} // namespace pelmora
