// The camera's property sheet: its controls, acting on the running camera at once, and when none is shown.
#include "propertysheet.h"
#include "testsupport.h"
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

namespace pelmora::test {
namespace {

class CapturePropertySheet : public ::testing::Test {
protected:
    std::unique_ptr<QDialog> Sheet(DeviceFactory camera)
    {
        EXPECT_EQ(BuildCaptureGraph(&graph, &callback, Category({camera})), S_OK);
        source = ChildNamed(graph.get(), "CaptureDevice");
        return CreateCaptureDevicePropertySheet(graph.get(), nullptr);
    }
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    GstElementPtr source;
};

TEST_F(CapturePropertySheet, TestCameraOffersItsPictureSettingsAppliesThemLiveAndShowsModally)
{
    std::unique_ptr<QDialog> sheet = Sheet(TestCamera("smpte"));
    ASSERT_TRUE(sheet && graph->Run());
    EXPECT_EQ(sheet->windowTitle(), "Pelmora Test Camera");
    auto* pattern = sheet->findChild<QComboBox*>("pattern");
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern->currentText(), "smpte");
    EXPECT_NE(sheet->findChild<QPushButton*>("foreground-color"), nullptr);
    EXPECT_NE(sheet->findChild<QPushButton*>("background-color"), nullptr);
    for (const char* name : {"name", "num-buffers", "is-live", "timestamp-offset"})
        EXPECT_EQ(sheet->findChild<QWidget*>(name), nullptr) << name << " is no picture setting";

    pattern->setCurrentIndex(pattern->findText("snow"));
    auto* speed = sheet->findChild<QSpinBox*>("horizontal-speed");
    ASSERT_NE(speed, nullptr);
    speed->setValue(-7);
    gint speedValue = 0;
    g_object_get(source.get(), "horizontal-speed", &speedValue, nullptr);
    EXPECT_STREQ(PatternNick(source.get()), "snow");
    EXPECT_EQ(speedValue, -7);
    EXPECT_TRUE(graph->IsRunning());

    QWidget owner;
    owner.show();
    bool sawSheetOnOwner = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            sawSheetOnOwner = dialog->parentWidget() == &owner && dialog->findChild<QComboBox*>("pattern");
            dialog->reject();
        }
    });
    closer.start(10);
    ShowCaptureDeviceProperties(graph.get(), &owner);
    EXPECT_TRUE(sawSheetOnOwner);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(CapturePropertySheet, ColourBalanceBecomesSlidersAndNothingShowsWithoutSettingsOrDevice)
{
    // videobalance offers colour balance as a camera's source does; its properties repeat the channels.
    std::unique_ptr<QDialog> sheet =
        Sheet(FakeCamera("video/x-raw, format=I420, width=320, height=240, framerate=30/1", "videobalance"));
    ASSERT_TRUE(sheet);
    QStringList names;
    for (QSlider* slider : sheet->findChildren<QSlider*>())
        names << slider->objectName().toLower();
    names.sort();
    EXPECT_EQ(names, QStringList({"brightness", "contrast", "hue", "saturation"}));
    EXPECT_EQ(sheet->findChildren<QAbstractSpinBox*>().size(), 0) << "no control twice";
    auto* brightness = sheet->findChild<QSlider*>("BRIGHTNESS");
    ASSERT_TRUE(brightness);
    brightness->setValue(brightness->maximum());
    gdouble value = 0;
    g_object_get(source.get(), "brightness", &value, nullptr);
    EXPECT_DOUBLE_EQ(value, 1.0);

    // A driver without property pages; had a modal call below opened a sheet, the test would hang.
    EXPECT_FALSE(Sheet(BinCamera("videotestsrc name=pattern-source", TestCameraCapabilities().toUtf8())));
    ShowCaptureDeviceProperties(graph.get(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(BuildCaptureGraph(&graph, &callback, Category({})), S_FALSE);
    EXPECT_FALSE(CreateCaptureDevicePropertySheet(graph.get(), nullptr));
    ShowCaptureDeviceProperties(graph.get(), nullptr);
    ShowCaptureDeviceProperties(nullptr, nullptr);
}

} // namespace
} // namespace pelmora::test
