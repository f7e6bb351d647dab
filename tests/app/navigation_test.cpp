// The link grammar and the keyword compare rule, on addresses as text.
#include "navigation.h"

#include <QStringList>
#include <gtest/gtest.h>

using pelmora::BeforeNavigate;
using pelmora::Command;
using pelmora::KeywordMatches;
using pelmora::MatchCommand;

namespace {

// Records which handlers ran, in order; each handler answers as told.
class RecordingTarget : public pelmora::NavigationTarget {
public:
    QStringList calls;
    bool answer = true;

    int ExecuteCommand(const QString& command) override
    {
        calls << "Execute:" + command;
        return 0;
    }
    bool OnNextToWelcome() override { return record("NextToWelcome", true); }
    bool OnBackToWelcome() override { return record("BackToWelcome", answer); }
    bool OnNextToLayout() override { return record("NextToLayout", answer); }
    bool OnBackToLayout() override { return record("BackToLayout", answer); }
    bool OnNextToSeries() override { return record("NextToSeries", answer); }
    bool OnBackToSeries() override { return record("BackToSeries", answer); }
    bool OnNextToCapture() override { return record("NextToCapture", answer); }
    bool OnBackToCapture() override { return record("BackToCapture", false); }

private:
    bool record(const char* name, bool result)
    {
        calls << QString::fromLatin1(name);
        return result;
    }
};

QStringList run(const QString& address, bool answer = true)
{
    RecordingTarget t;
    t.answer = answer;
    EXPECT_TRUE(BeforeNavigate(address, t)) << address.toStdString();
    return t.calls;
}

TEST(KeywordCompare, BoundedOverTheExaminedText)
{
    EXPECT_TRUE(KeywordMatches(u"Next", "Next"));
    EXPECT_TRUE(KeywordMatches(u"Nex", "Next"));
    EXPECT_TRUE(KeywordMatches(u"N", "Next"));
    EXPECT_TRUE(KeywordMatches(u"", "Next"));
    EXPECT_FALSE(KeywordMatches(u"NextPhotoFrame", "Next"));
    EXPECT_FALSE(KeywordMatches(u"Nexts", "Next"));
    EXPECT_FALSE(KeywordMatches(u"next", "Next"));
    EXPECT_FALSE(KeywordMatches(u"Nxt", "Next"));
}

TEST(LinkGrammar, OtherAddressesGoAhead)
{
    RecordingTarget t;
    EXPECT_FALSE(BeforeNavigate("res:///opt/pelmora/Pelmora/Layout.htm", t));
    EXPECT_FALSE(BeforeNavigate("about:blank", t));
    EXPECT_FALSE(BeforeNavigate("PK://Next/Layout.htm", t));
    EXPECT_FALSE(BeforeNavigate("pk:/Next/Layout.htm", t));
    EXPECT_TRUE(t.calls.isEmpty());
}

TEST(LinkGrammar, PageChangesRunTheirHandlerThenTheDispatcher)
{
    EXPECT_EQ(run("pk://Next/Layout.htm"), QStringList({"NextToLayout", "Execute:Next/Layout.htm"}));
    EXPECT_EQ(run("pk://Back/Welcome.htm"), QStringList({"BackToWelcome", "Execute:Back/Welcome.htm"}));
    EXPECT_EQ(run("pk://Next/Series.htm"), QStringList({"NextToSeries", "Execute:Next/Series.htm"}));
    EXPECT_EQ(run("pk://Back/Layout.htm"), QStringList({"BackToLayout", "Execute:Back/Layout.htm"}));
    EXPECT_EQ(run("pk://Next/Capture.htm"), QStringList({"NextToCapture", "Execute:Next/Capture.htm"}));
    EXPECT_EQ(run("pk://Back/Series.htm"), QStringList({"BackToSeries", "Execute:Back/Series.htm"}));
}

TEST(LinkGrammar, ARefusingHandlerStopsEverything)
{
    EXPECT_EQ(run("pk://Next/Series.htm", false), QStringList({"NextToSeries"}));
    EXPECT_EQ(run("pk://Back/Layout.htm", false), QStringList({"BackToLayout"}));
}

TEST(LinkGrammar, WelcomeAndCaptureTargetsThatNoPageUses)
{
    // A Next to the welcome page goes ahead without any change of state.
    EXPECT_EQ(run("pk://Next/Welcome.htm"), QStringList({"NextToWelcome", "Execute:Next/Welcome.htm"}));
    // A Back to the capture page is always refused.
    EXPECT_EQ(run("pk://Back/Capture.htm"), QStringList({"BackToCapture"}));
}

TEST(LinkGrammar, PrefixesOfKeywordsAndPageNamesMatch)
{
    EXPECT_EQ(run("pk://Nex/Lay.htm"), QStringList({"NextToLayout", "Execute:Nex/Lay.htm"}));
    EXPECT_EQ(run("pk://B/S.htm"), QStringList({"BackToSeries", "Execute:B/S.htm"}));
    // The page names are tried in the order Welcome, Layout, Series, Capture:
    // an empty page name matches the first.
    EXPECT_EQ(run("pk://Next/.htm"), QStringList({"NextToWelcome", "Execute:Next/.htm"}));
}

TEST(LinkGrammar, OverlongOrUnknownWordsReachOnlyTheDispatcher)
{
    EXPECT_EQ(run("pk://NextPhotoFrame/"), QStringList({"Execute:NextPhotoFrame/"}));
    EXPECT_EQ(run("pk://PreviousPhotoFrame/"), QStringList({"Execute:PreviousPhotoFrame/"}));
    EXPECT_EQ(run("pk://Next/Layouts.htm"), QStringList({"Execute:Next/Layouts.htm"}));
    EXPECT_EQ(run("pk://Next/layout.htm"), QStringList({"Execute:Next/layout.htm"}));
    EXPECT_EQ(run("pk://Nonsense/Layout.htm"), QStringList({"Execute:Nonsense/Layout.htm"}));
    EXPECT_EQ(run("pk://Capture/"), QStringList({"Execute:Capture/"}));
}

TEST(LinkGrammar, AddressesWithoutSlashOrDotNameNoPage)
{
    EXPECT_EQ(run("pk://Next"), QStringList({"Execute:Next"}));
    EXPECT_EQ(run("pk://Next/Layout"), QStringList({"Execute:Next/Layout"}));
    // The dot is searched from the start of the command text: a dot before
    // the slash leaves no page name either.
    EXPECT_EQ(run("pk://Ne.xt/Layout"), QStringList({"Execute:Ne.xt/Layout"}));
    EXPECT_EQ(run("pk://"), QStringList({"Execute:"}));
}

TEST(Dispatcher, KeywordChainInOrder)
{
    EXPECT_EQ(MatchCommand("About/"), Command::About);
    EXPECT_EQ(MatchCommand("Help/"), Command::Help);
    EXPECT_EQ(MatchCommand("Cancel/"), Command::Cancel);
    EXPECT_EQ(MatchCommand("Next/Series.htm"), Command::Next);
    EXPECT_EQ(MatchCommand("Back/Layout.htm"), Command::Back);
    EXPECT_EQ(MatchCommand("Capture/"), Command::Capture);
    EXPECT_EQ(MatchCommand("Configure/"), Command::Configure);
    EXPECT_EQ(MatchCommand("NextPhotoFrame/"), Command::NextPhotoFrame);
    EXPECT_EQ(MatchCommand("PreviousPhotoFrame/"), Command::PreviousPhotoFrame);
    EXPECT_EQ(MatchCommand("Print/"), Command::Print);
    EXPECT_EQ(MatchCommand("Export/"), Command::Export);
    EXPECT_EQ(MatchCommand("Delete/"), Command::Delete);
    EXPECT_EQ(MatchCommand("Delete"), Command::Delete);
}

TEST(Dispatcher, FirstMatchDecidesAndUnknownDoesNothing)
{
    // "C" is a leading part of both Cancel and Capture; Cancel comes first.
    EXPECT_EQ(MatchCommand("C/"), Command::Cancel);
    EXPECT_EQ(MatchCommand("Ca/"), Command::Cancel);
    EXPECT_EQ(MatchCommand("Cap/"), Command::Capture);
    EXPECT_EQ(MatchCommand("Con/"), Command::Configure);
    EXPECT_EQ(MatchCommand("P/"), Command::PreviousPhotoFrame);
    EXPECT_EQ(MatchCommand("Pr/"), Command::PreviousPhotoFrame);
    EXPECT_EQ(MatchCommand("Pri/"), Command::Print);
    EXPECT_EQ(MatchCommand("NextPhoto/"), Command::NextPhotoFrame);
    EXPECT_EQ(MatchCommand("Cancelled/"), Command::None);
    EXPECT_EQ(MatchCommand("capture/"), Command::None);
    EXPECT_EQ(MatchCommand("Zoom/"), Command::None);
}

TEST(Dispatcher, PageNameAfterTheSlash)
{
    EXPECT_EQ(pelmora::TextAfterSlash("Next/Series.htm"), "Series.htm");
    EXPECT_EQ(pelmora::TextAfterSlash("Capture/"), "");
    EXPECT_EQ(pelmora::TextAfterSlash("Next"), "");
}

} // namespace
