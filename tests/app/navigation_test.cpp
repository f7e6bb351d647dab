// The link grammar and the keyword compare rule, on addresses as text.
#include "navigation.h"

#include <QStringList>
#include <gtest/gtest.h>

using pelmora::Command;

namespace {

// Records which handlers ran, in order; the handlers of the pages a link
// leads to answer as told, Back to the capture page always refuses.
class RecordingTarget : public pelmora::NavigationTarget {
public:
    QStringList calls;
    bool answer = true;

    int ExecuteCommand(const QString& command) override { return calls << "Execute:" + command, 0; }
#define HANDLER(name, result) \
    bool On##name() override { return calls << #name, result; }
    HANDLER(NextToWelcome, true)
    HANDLER(BackToWelcome, answer)
    HANDLER(NextToLayout, answer)
    HANDLER(BackToLayout, answer)
    HANDLER(NextToSeries, answer)
    HANDLER(BackToSeries, answer)
    HANDLER(NextToCapture, answer)
    HANDLER(BackToCapture, false)
#undef HANDLER
};

struct LinkCase {
    const char* address;
    bool handlerAgrees;
    QStringList calls; // empty: the address is not the booth's and loads
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.address << (c.handlerAgrees ? "" : " refused"); }

class LinkGrammar : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkGrammar, RunsTheNamedHandlerThenTheDispatcher)
{
    const LinkCase& c = GetParam();
    RecordingTarget target;
    target.answer = c.handlerAgrees;
    EXPECT_EQ(pelmora::BeforeNavigate(QString::fromLatin1(c.address), target), !c.calls.isEmpty());
    EXPECT_EQ(target.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(Addresses, LinkGrammar, ::testing::Values(
    LinkCase{"res:///opt/pelmora/Pelmora/Layout.htm", true, {}},
    LinkCase{"PK://Next/Layout.htm", true, {}},
    LinkCase{"pk:/Next/Layout.htm", true, {}},
    LinkCase{"pk://Next/Layout.htm", true, {"NextToLayout", "Execute:Next/Layout.htm"}},
    LinkCase{"pk://Back/Welcome.htm", true, {"BackToWelcome", "Execute:Back/Welcome.htm"}},
    LinkCase{"pk://Next/Series.htm", true, {"NextToSeries", "Execute:Next/Series.htm"}},
    LinkCase{"pk://Back/Layout.htm", true, {"BackToLayout", "Execute:Back/Layout.htm"}},
    LinkCase{"pk://Next/Capture.htm", true, {"NextToCapture", "Execute:Next/Capture.htm"}},
    LinkCase{"pk://Back/Series.htm", true, {"BackToSeries", "Execute:Back/Series.htm"}},
    // A refusing handler stops everything.
    LinkCase{"pk://Next/Series.htm", false, {"NextToSeries"}},
    LinkCase{"pk://Back/Layout.htm", false, {"BackToLayout"}},
    LinkCase{"pk://Next/Welcome.htm", false, {"NextToWelcome", "Execute:Next/Welcome.htm"}},
    LinkCase{"pk://Back/Capture.htm", true, {"BackToCapture"}},
    // Leading parts of the keywords and page names match; page names are
    // tried in the order Welcome, Layout, Series, Capture.
    LinkCase{"pk://Nex/Lay.htm", true, {"NextToLayout", "Execute:Nex/Lay.htm"}},
    LinkCase{"pk://B/S.htm", true, {"BackToSeries", "Execute:B/S.htm"}},
    LinkCase{"pk://Next/.htm", true, {"NextToWelcome", "Execute:Next/.htm"}},
    // Overlong or unknown words, and addresses without a slash and a dot
    // after it, reach only the dispatcher.
    LinkCase{"pk://NextPhotoFrame/", true, {"Execute:NextPhotoFrame/"}},
    LinkCase{"pk://Next/Layouts.htm", true, {"Execute:Next/Layouts.htm"}},
    LinkCase{"pk://Next/layout.htm", true, {"Execute:Next/layout.htm"}},
    LinkCase{"pk://Nonsense/Layout.htm", true, {"Execute:Nonsense/Layout.htm"}},
    LinkCase{"pk://Next", true, {"Execute:Next"}},
    LinkCase{"pk://Next/Layout", true, {"Execute:Next/Layout"}},
    LinkCase{"pk://Ne.xt/Layout", true, {"Execute:Ne.xt/Layout"}},
    LinkCase{"pk://", true, {"Execute:"}}));

TEST(KeywordCompare, BoundedOverTheExaminedText)
{
    for (const char16_t* text : {u"Next", u"Nex", u"N", u""})
        EXPECT_TRUE(pelmora::KeywordMatches(text, "Next")) << QStringView(text).toString().toStdString();
    for (const char16_t* text : {u"NextPhotoFrame", u"Nexts", u"next", u"Nxt"})
        EXPECT_FALSE(pelmora::KeywordMatches(text, "Next")) << QStringView(text).toString().toStdString();
}

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
