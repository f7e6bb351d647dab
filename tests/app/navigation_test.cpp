// The link grammar and the command dispatcher, on addresses as text.
#include "navigation.h"

#include <QStringList>
#include <gtest/gtest.h>

using pelmora::Command;

namespace {

// Records which handlers ran, in order; both handlers of the capture page refuse.
class RecordingTarget : public pelmora::NavigationTarget {
public:
    QStringList calls;

    int ExecuteCommand(const QString& command) override { return calls << "Execute:" + command, 0; }
#define HANDLER(name, result) \
    bool On##name() override { return calls << #name, result; }
    HANDLER(NextToWelcome, true)
    HANDLER(BackToWelcome, true)
    HANDLER(NextToLayout, true)
    HANDLER(BackToLayout, true)
    HANDLER(NextToSeries, true)
    HANDLER(BackToSeries, true)
    HANDLER(NextToCapture, false)
    HANDLER(BackToCapture, false)
#undef HANDLER
};

struct LinkCase {
    const char* address;
    QStringList calls; // empty: the address is not the booth's and loads
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.address; }

class LinkGrammar : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkGrammar, RunsTheNamedHandlerThenTheDispatcher)
{
    const LinkCase& c = GetParam();
    RecordingTarget target;
    EXPECT_EQ(pelmora::BeforeNavigate(QString::fromLatin1(c.address), target), !c.calls.isEmpty());
    EXPECT_EQ(target.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(Addresses, LinkGrammar, ::testing::Values(
    LinkCase{"res:///opt/pelmora/Pelmora/Layout.htm", {}},
    LinkCase{"PK://Next/Layout.htm", {}},
    LinkCase{"pk:/Next/Layout.htm", {}},
    LinkCase{"pk://Next/Layout.htm", {"NextToLayout", "Execute:Next/Layout.htm"}},
    LinkCase{"pk://Back/Welcome.htm", {"BackToWelcome", "Execute:Back/Welcome.htm"}},
    LinkCase{"pk://Next/Series.htm", {"NextToSeries", "Execute:Next/Series.htm"}},
    LinkCase{"pk://Back/Layout.htm", {"BackToLayout", "Execute:Back/Layout.htm"}},
    LinkCase{"pk://Back/Series.htm", {"BackToSeries", "Execute:Back/Series.htm"}},
    LinkCase{"pk://Next/Welcome.htm", {"NextToWelcome", "Execute:Next/Welcome.htm"}},
    // A refusing handler stops everything.
    LinkCase{"pk://Next/Capture.htm", {"NextToCapture"}},
    LinkCase{"pk://Back/Capture.htm", {"BackToCapture"}},
    // Leading parts of the keywords and page names match; page names are
    // tried in the order Welcome, Layout, Series, Capture.
    LinkCase{"pk://Nex/Lay.htm", {"NextToLayout", "Execute:Nex/Lay.htm"}},
    LinkCase{"pk://B/S.htm", {"BackToSeries", "Execute:B/S.htm"}},
    LinkCase{"pk://Next/.htm", {"NextToWelcome", "Execute:Next/.htm"}},
    // Overlong or unknown words, and addresses without a slash and a dot
    // after it, reach only the dispatcher.
    LinkCase{"pk://NextPhotoFrame/", {"Execute:NextPhotoFrame/"}},
    LinkCase{"pk://Next/Layouts.htm", {"Execute:Next/Layouts.htm"}},
    LinkCase{"pk://Next/layout.htm", {"Execute:Next/layout.htm"}},
    LinkCase{"pk://Nonsense/Layout.htm", {"Execute:Nonsense/Layout.htm"}},
    LinkCase{"pk://Next", {"Execute:Next"}},
    LinkCase{"pk://Next/Layout", {"Execute:Next/Layout"}},
    LinkCase{"pk://Ne.xt/Layout", {"Execute:Ne.xt/Layout"}},
    LinkCase{"pk://", {"Execute:"}}));

TEST(Dispatcher, FirstKeywordInTheChainDecides)
{
    const std::pair<const char*, Command> table[] = {
        {"About/", Command::About},     {"Help/", Command::Help},
        {"Cancel/", Command::Cancel},   {"Next/Series.htm", Command::Next},
        {"Back/Layout.htm", Command::Back}, {"Capture/", Command::Capture},
        {"Configure/", Command::Configure}, {"NextPhotoFrame/", Command::NextPhotoFrame},
        {"PreviousPhotoFrame/", Command::PreviousPhotoFrame}, {"Print/", Command::Print},
        {"Export/", Command::Export},   {"Delete", Command::Delete},
        // "C" leads both Cancel and Capture; Cancel comes first.
        {"C/", Command::Cancel},        {"Cap/", Command::Capture},
        {"P/", Command::PreviousPhotoFrame}, {"Pri/", Command::Print},
        {"NextPhoto/", Command::NextPhotoFrame}, {"Cancelled/", Command::None},
        {"capture/", Command::None},    {"Zoom/", Command::None},
    };
    for (const auto& [command, expected] : table)
        EXPECT_EQ(pelmora::MatchCommand(QString::fromLatin1(command)), expected) << command;
    EXPECT_EQ(pelmora::TextAfterSlash("Next/Series.htm"), "Series.htm");
    EXPECT_EQ(pelmora::TextAfterSlash("Next"), "");
}

} // namespace
