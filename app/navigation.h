#pragma once
// The wizard's link protocol. Every button of a page is a hyperlink whose
// address starts with "pk://"; such an address never loads: it runs the page
// handler of a page change (which may refuse it) and then the command
// dispatcher. Any other address loads normally.
#include <QString>

namespace pelmora {

inline constexpr char kPkPrefix[] = "pk://";

// The main window's side of the protocol.
class NavigationTarget {
public:
    virtual ~NavigationTarget() = default;
    virtual int ExecuteCommand(const QString& command) = 0;
    virtual bool OnNextToWelcome() = 0;
    virtual bool OnBackToWelcome() = 0;
    virtual bool OnNextToLayout() = 0;
    virtual bool OnBackToLayout() = 0;
    virtual bool OnNextToSeries() = 0;
    virtual bool OnBackToSeries() = 0;
    virtual bool OnNextToCapture() = 0;
    virtual bool OnBackToCapture() = 0;
};

// Compares text with keyword over text's own length, stopping at the end of
// either, as a bounded string comparison does: "Nex" matches "Next",
// "NextPhotoFrame" does not.
bool KeywordMatches(QStringView text, const char* keyword);

// Decides one navigation: returns true when it must be cancelled (every
// "pk://" address). For a "pk://" address it runs the matching page handler,
// and unless that refused, target.ExecuteCommand with the text after "pk://".
bool BeforeNavigate(const QString& address, NavigationTarget& target);

// The keywords of the command dispatcher, in the order they are tried.
enum class Command {
    None,
    About,
    Help,
    Cancel,
    Next,
    Back,
    Capture,
    Configure,
    NextPhotoFrame,
    PreviousPhotoFrame,
    Print,
    Export,
    Delete,
};

// The first keyword that the text before the first '/' of command matches.
Command MatchCommand(const QString& command);

// The text after the first '/' of command ("Series.htm" for
// "Next/Series.htm"); empty when there is no '/'.
QString TextAfterSlash(const QString& command);

} // namespace pelmora
