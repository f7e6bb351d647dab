// The end-user agreement shown in the About box: two parts joined in order,
// lines separated by CR LF as the edit box expects them.
#include "agreement.h"

namespace pelmora {

namespace {

const char kAgreementPart1[] =
    "Pelmora 2004\r\n"
    "Orvane\r\n"
    "\r\n"
    "END-USER LICENCE AGREEMENT\r\n"
    "\r\n"
    "Please read this agreement carefully before you use Pelmora 2004. By installing, "
    "copying or using the program you accept its terms. If you do not accept them, please"
    " do not use the program and remove it from your computer.\r\n"
    "\r\n"
    "1. Licence\r\n"
    "Orvane grants you a personal, non-exclusive licence to install and use Pelmora 2004 "
    "on the computers of your own household. You may keep one copy of the installation "
    "files as a backup.\r\n"
    "\r\n"
    "2. Your photos\r\n"
    "The photos you take, print and save with Pelmora 2004 belong to you. The program "
    "does not send your pictures anywhere: they stay on your computer and on the sticker "
    "sheets you print. Please respect the people you photograph, and ask them before you "
    "share their pictures on the internet.\r\n"
    "\r\n"
    "3. Layouts and photo frames\r\n"
    "You may make your own sticker layouts and photo-frame series and share them with "
    "anyone you like. The layouts and frames that come with the program are for making "
    "your own stickers; you may not sell them on their own or as part of another product.\r\n"
    "\r\n"
    "4. What you may not do\r\n"
    "You may not rent, lease or sell copies of the program, remove the copyright notices "
    "from it, or pass it off as your own work. You may not take the program apart except "
    "as far as the law of your country allows despite this limitation.\r\n"
    "\r\n"
    "5. Ownership\r\n"
    "6. Cameras, printers and paper\r\n"
    "Pelmora 2004 works with the camera and the printer that your computer already knows."
    " Sticker paper, ink and the care of your equipment are up to you; please follow the "
    "instructions that came with them.\r\n"
    "\r\n"
    "Pelmora 2004, its pictures and its help file are the property of Orvane and are "
    "protected by copyright law. This agreement gives you the right to use them; it does "
    "not sell them to you.\r\n"
    "\r\n"
    "7. Updates\r\n"
    "Orvane may offer updates from time to time. When you install one, this agreement "
    "covers it too, unless the update comes with an agreement of its own.\r\n"
    "\r\n";

const char kAgreementPart2[] =
    "8. No warranty\r\n"
    "The program is provided as it is. Orvane takes great care that it works well, but "
    "cannot promise that it will run without errors on every computer, with every camera "
    "or on every printer.\r\n"
    "\r\n"
    "9. Limitation of liability\r\n"
    "As far as the law of your country allows, Orvane is not responsible for any loss or "
    "damage that comes from using the program or from being unable to use it, beyond the "
    "price you paid for it.\r\n"
    "\r\n"
    "10. Ending the agreement\r\n"
    "The agreement lasts until you remove the program from your computers. It ends by "
    "itself if you break its terms.\r\n"
    "\r\n"
    "Thank you for choosing Pelmora 2004. We hope you have lots of fun with your "
    "stickers!";

static_assert(sizeof(kAgreementPart1) - 1 == 1932);
static_assert(sizeof(kAgreementPart2) - 1 == 654);

} // namespace

QString AgreementPart1() { return QString::fromLatin1(kAgreementPart1); }
QString AgreementPart2() { return QString::fromLatin1(kAgreementPart2); }

} // namespace pelmora
