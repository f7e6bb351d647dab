// The camera's property sheet: which controls it offers, that they act on the
// running camera at once, and when no sheet is shown.
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

// A camera with nothing to adjust: a bin around a test source, as a driver
// without property pages would be.
class PlainCamera : public CaptureDevice {
public:
    QString DisplayName() const override { return QStringLiteral("Plain Camera"); }
    HRESULT Bind(GstElementPtr* element) override
    {
        GstElementPtr bin = MakeElement("bin");
        GstElementPtr source = MakeElement("videotestsrc", "pattern-source");
        if (!bin || !source || !gst_bin_add(GST_BIN(bin.get()), source.get()))
            return E_FAIL;
        GstPadPtr output(gst_element_get_static_pad(source.get(), "src"));
        gst_element_add_pad(bin.get(), gst_ghost_pad_new("src", output.get()));
        gst_element_set_state(bin.get(), GST_STATE_READY);
        *element = std::move(bin);
        return S_OK;
    }
    GstCapsPtr Capabilities() const override
    {
        return GstCapsPtr(gst_caps_from_string(TestCameraCapabilities().toUtf8().constData()));
    }
};

gint EnumProperty(GstElement* element, const char* name, const char** nick)
{
    gint value = 0;
    g_object_get(element, name, &value, nullptr);
    GParamSpec* param = g_object_class_find_property(G_OBJECT_GET_CLASS(element), name);
    *nick = g_enum_get_value(G_PARAM_SPEC_ENUM(param)->enum_class, value)->value_nick;
    return value;
}

TEST(CapturePropertySheet, TestCameraOffersItsPictureSettingsAndAppliesThemLive)
{
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback, Category({TestCamera("smpte")})), S_OK);
    ASSERT_TRUE(graph->Run());
    std::unique_ptr<QDialog> sheet = CreateCaptureDevicePropertySheet(graph.get(), nullptr);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowTitle(), "Pelmora Test Camera");

    auto* pattern = sheet->findChild<QComboBox*>("pattern");
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern->currentText(), "smpte");
    EXPECT_NE(sheet->findChild<QPushButton*>("foreground-color"), nullptr);
    EXPECT_NE(sheet->findChild<QPushButton*>("background-color"), nullptr);
    EXPECT_NE(sheet->findChild<QSpinBox*>("horizontal-speed"), nullptr);
    // Framework and stream settings are not the camera's picture settings.
    for (const char* name : {"name", "parent", "num-buffers", "do-timestamp", "blocksize",
                             "is-live", "timestamp-offset", "typefind"})
        EXPECT_EQ(sheet->findChild<QWidget*>(name), nullptr) << name;

    GstElementPtr source = ChildNamed(graph.get(), "CaptureDevice");
    pattern->setCurrentIndex(pattern->findText("snow"));
    const char* nick = nullptr;
    EnumProperty(source.get(), "pattern", &nick);
    EXPECT_STREQ(nick, "snow");

    sheet->findChild<QSpinBox*>("horizontal-speed")->setValue(-7);
    gint speed = 0;
    g_object_get(source.get(), "horizontal-speed", &speed, nullptr);
    EXPECT_EQ(speed, -7);
    EXPECT_TRUE(graph->IsRunning());
}

TEST(CapturePropertySheet, ColourBalanceChannelsBecomeSliders)
{
    // videobalance is no camera, but it offers colour balance as a real
    // camera's source does, and its own properties repeat the channels.
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback,
                                Category({FakeCamera("video/x-raw, format=I420, width=320, "
                                                     "height=240, framerate=30/1",
                                                     "videobalance", "Balance Camera")})),
              S_OK);
    std::unique_ptr<QDialog> sheet = CreateCaptureDevicePropertySheet(graph.get(), nullptr);
    ASSERT_TRUE(sheet);
    const QList<QSlider*> sliders = sheet->findChildren<QSlider*>();
    QStringList names;
    for (QSlider* slider : sliders)
        names << slider->objectName().toLower();
    names.sort();
    EXPECT_EQ(names, QStringList({"brightness", "contrast", "hue", "saturation"}));
    EXPECT_EQ(sheet->findChildren<QAbstractSpinBox*>().size(), 0) << "no control twice";

    GstElementPtr source = ChildNamed(graph.get(), "CaptureDevice");
    for (QSlider* slider : sliders) {
        if (slider->objectName().toLower() != "brightness")
            continue;
        slider->setValue(slider->maximum());
        gdouble brightness = 0;
        g_object_get(source.get(), "brightness", &brightness, nullptr);
        EXPECT_DOUBLE_EQ(brightness, 1.0);
    }
}

TEST(CapturePropertySheet, ConfigureShowsTheSheetModallyUntilClosed)
{
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback, Category({TestCamera()})), S_OK);
    QWidget owner;
    owner.show();

    QString seenTitle;
    bool sawPattern = false;
    QWidget* seenParent = nullptr;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seenTitle = dialog->windowTitle();
        seenParent = dialog->parentWidget();
        sawPattern = dialog->findChild<QComboBox*>("pattern") != nullptr;
        dialog->reject();
    });
    closer.start(10);
    ShowCaptureDeviceProperties(graph.get(), &owner);
    closer.stop();
    EXPECT_EQ(seenTitle, "Pelmora Test Camera");
    EXPECT_EQ(seenParent, &owner);
    EXPECT_TRUE(sawPattern);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(CapturePropertySheet, NothingIsShownWithoutSettingsOrWithoutACaptureDevice)
{
    CFrameGrabCallback callback;
    std::unique_ptr<CCaptureGraph> graph;
    ASSERT_EQ(BuildCaptureGraph(&graph, &callback,
                                Category({[] { return std::make_unique<PlainCamera>(); }})),
              S_OK);
    EXPECT_FALSE(CreateCaptureDevicePropertySheet(graph.get(), nullptr));

    // The modal call returns at once: had it opened a sheet, the test would
    // never get past it.
    ShowCaptureDeviceProperties(graph.get(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    std::unique_ptr<CCaptureGraph> empty;
    EXPECT_EQ(BuildCaptureGraph(&empty, &callback, Category({})), S_FALSE);
    EXPECT_FALSE(CreateCaptureDevicePropertySheet(empty.get(), nullptr));
    ShowCaptureDeviceProperties(empty.get(), nullptr);
    ShowCaptureDeviceProperties(nullptr, nullptr);
}

} // namespace
} // namespace pelmora::test
