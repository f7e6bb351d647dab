#include "navigation.h"

#include <array>
#include <utility>

namespace pelmora {

bool KeywordMatches(QStringView text, const char* keyword)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t k = static_cast<unsigned char>(keyword[i]);
        if (text[i].unicode() != k)
            return false;
        if (k == 0)
            return true; // both strings end here
    }
    return true;
}

namespace {

using Handler = bool (NavigationTarget::*)();

struct PageHandlers {
    const char* command;
    std::array<std::pair<const char*, Handler>, 4> pages;
};

const PageHandlers kNext{"Next",
                         {{{"Welcome", &NavigationTarget::OnNextToWelcome},
                           {"Layout", &NavigationTarget::OnNextToLayout},
                           {"Series", &NavigationTarget::OnNextToSeries},
                           {"Capture", &NavigationTarget::OnNextToCapture}}}};
const PageHandlers kBack{"Back",
                         {{{"Welcome", &NavigationTarget::OnBackToWelcome},
                           {"Layout", &NavigationTarget::OnBackToLayout},
                           {"Series", &NavigationTarget::OnBackToSeries},
                           {"Capture", &NavigationTarget::OnBackToCapture}}}};

// The page handler a page-change address names, or nullptr.
Handler PageHandlerFor(QStringView command)
{
    const qsizetype slash = command.indexOf(QLatin1Char('/'));
    const qsizetype dot = command.indexOf(QLatin1Char('.'));
    const QStringView keyword = slash < 0 ? command : command.left(slash);

    const PageHandlers* change = nullptr;
    if (KeywordMatches(keyword, kNext.command))
        change = &kNext;
    else if (KeywordMatches(keyword, kBack.command))
        change = &kBack;
    if (!change)
        return nullptr;

    // A page name needs a '/' and, after it, a '.'. The pages always write
    // both; an address without them names no page and runs no handler.
    if (slash < 0 || dot <= slash)
        return nullptr;
    const QStringView page = command.mid(slash + 1, dot - slash - 1);
    for (const auto& [name, handler] : change->pages)
        if (KeywordMatches(page, name))
            return handler;
    return nullptr;
}

} // namespace

bool BeforeNavigate(const QString& address, NavigationTarget& target)
{
    if (!address.startsWith(QLatin1String(kPkPrefix)))
        return false;
    const QString command = address.mid(int(sizeof(kPkPrefix)) - 1);
    if (const Handler handler = PageHandlerFor(command)) {
        if (!(target.*handler)())
            return true;
    }
    target.ExecuteCommand(command);
    return true;
}

Command MatchCommand(const QString& command)
{
    static constexpr std::pair<const char*, Command> kCommands[] = {
        {"About", Command::About},
        {"Help", Command::Help},
        {"Cancel", Command::Cancel},
        {"Next", Command::Next},
        {"Back", Command::Back},
        {"Capture", Command::Capture},
        {"Configure", Command::Configure},
        {"NextPhotoFrame", Command::NextPhotoFrame},
        {"PreviousPhotoFrame", Command::PreviousPhotoFrame},
        {"Print", Command::Print},
        {"Export", Command::Export},
        {"Delete", Command::Delete},
    };
    const qsizetype slash = command.indexOf(QLatin1Char('/'));
    const QStringView keyword = slash < 0 ? QStringView(command) : QStringView(command).left(slash);
    for (const auto& [name, value] : kCommands)
        if (KeywordMatches(keyword, name))
            return value;
    return Command::None;
}

QString TextAfterSlash(const QString& command)
{
    const qsizetype slash = command.indexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : command.mid(slash + 1);
}

} // namespace pelmora
