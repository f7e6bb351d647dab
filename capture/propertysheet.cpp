#include "propertysheet.h"
#include "camerafollower.h"
#include "capturegraph.h"
#include "gsthandle.h"
#include <algorithm>
#include <climits>
#include <gst/video/colorbalance.h>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pelmora {

namespace {

// Settings that shape the stream rather than the picture: changing them while
// the camera runs would break or restart the stream.
const QSet<QString>& StreamSettings()
{
    static const QSet<QString> names = {
        QStringLiteral("is-live"),
        QStringLiteral("timestamp-offset"),
        QStringLiteral("io-mode"),
        QStringLiteral("norm"),
        QStringLiteral("crop-top"),
        QStringLiteral("crop-bottom"),
        QStringLiteral("crop-left"),
        QStringLiteral("crop-right"),
        QStringLiteral("force-aspect-ratio"),
    };
    return names;
}

// Properties that every element, bin or source inherits (name, parent,
// num-buffers, do-timestamp, ...) belong to the framework, not to the camera.
bool IsCameraOwnProperty(const GParamSpec* param)
{
    const GType owner = param->owner_type;
    return !G_TYPE_IS_ABSTRACT(owner) && owner != GST_TYPE_BIN && owner != GST_TYPE_PIPELINE &&
           owner != G_TYPE_OBJECT;
}

qint64 ReadInteger(GObject* object, GParamSpec* param)
{
    GValue value = G_VALUE_INIT;
    g_value_init(&value, param->value_type);
    g_object_get_property(object, param->name, &value);
    qint64 result = 0;
    switch (G_TYPE_FUNDAMENTAL(param->value_type)) {
    case G_TYPE_INT:
        result = g_value_get_int(&value);
        break;
    case G_TYPE_UINT:
        result = g_value_get_uint(&value);
        break;
    case G_TYPE_LONG:
        result = g_value_get_long(&value);
        break;
    case G_TYPE_ULONG:
        result = qint64(qMin<gulong>(g_value_get_ulong(&value), LLONG_MAX));
        break;
    case G_TYPE_INT64:
        result = g_value_get_int64(&value);
        break;
    case G_TYPE_UINT64:
        result = qint64(qMin<guint64>(g_value_get_uint64(&value), LLONG_MAX));
        break;
    default:
        break;
    }
    g_value_unset(&value);
    return result;
}

void WriteInteger(GObject* object, GParamSpec* param, qint64 number)
{
    GValue value = G_VALUE_INIT;
    g_value_init(&value, param->value_type);
    switch (G_TYPE_FUNDAMENTAL(param->value_type)) {
    case G_TYPE_INT:
        g_value_set_int(&value, gint(number));
        break;
    case G_TYPE_UINT:
        g_value_set_uint(&value, guint(number));
        break;
    case G_TYPE_LONG:
        g_value_set_long(&value, glong(number));
        break;
    case G_TYPE_ULONG:
        g_value_set_ulong(&value, gulong(number));
        break;
    case G_TYPE_INT64:
        g_value_set_int64(&value, gint64(number));
        break;
    case G_TYPE_UINT64:
        g_value_set_uint64(&value, guint64(number));
        break;
    default:
        break;
    }
    // The controls take their ranges from the property, so the number is valid.
    g_object_set_property(object, param->name, &value);
    g_value_unset(&value);
}

// Integer bounds of a property, narrowed to what a spin box can show.
std::pair<int, int> IntegerRange(const GParamSpec* param)
{
    qint64 low = 0, high = 0;
    switch (G_TYPE_FUNDAMENTAL(param->value_type)) {
    case G_TYPE_INT:
        low = G_PARAM_SPEC_INT(param)->minimum;
        high = G_PARAM_SPEC_INT(param)->maximum;
        break;
    case G_TYPE_UINT:
        low = G_PARAM_SPEC_UINT(param)->minimum;
        high = G_PARAM_SPEC_UINT(param)->maximum;
        break;
    case G_TYPE_LONG:
        low = G_PARAM_SPEC_LONG(param)->minimum;
        high = G_PARAM_SPEC_LONG(param)->maximum;
        break;
    case G_TYPE_ULONG:
        low = qint64(qMin<gulong>(G_PARAM_SPEC_ULONG(param)->minimum, INT_MAX));
        high = qint64(qMin<gulong>(G_PARAM_SPEC_ULONG(param)->maximum, INT_MAX));
        break;
    case G_TYPE_INT64:
        low = G_PARAM_SPEC_INT64(param)->minimum;
        high = G_PARAM_SPEC_INT64(param)->maximum;
        break;
    case G_TYPE_UINT64:
        low = qint64(qMin<guint64>(G_PARAM_SPEC_UINT64(param)->minimum, INT_MAX));
        high = qint64(qMin<guint64>(G_PARAM_SPEC_UINT64(param)->maximum, INT_MAX));
        break;
    default:
        break;
    }
    return {int(std::clamp<qint64>(low, INT_MIN, INT_MAX)),
            int(std::clamp<qint64>(high, INT_MIN, INT_MAX))};
}

// A colour stored as 32-bit ARGB (videotestsrc's foreground and background).
bool IsColourProperty(const GParamSpec* param)
{
    return G_TYPE_FUNDAMENTAL(param->value_type) == G_TYPE_UINT &&
           QByteArray(param->name).endsWith("-color");
}

void ShowSwatch(QPushButton* button, QRgb argb)
{
    button->setText(QColor::fromRgba(argb).name(QColor::HexArgb));
    button->setStyleSheet(QStringLiteral("background-color: %1").arg(QColor(argb).name()));
}

class PropertySheet : public QDialog {
public:
    PropertySheet(GstElementPtr element, const QString& title, QWidget* owner)
        : QDialog(owner), m_element(std::move(element))
    {
        setWindowTitle(title);
        setModal(true);
        m_form = new QFormLayout;
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
        QObject::connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(m_form);
        layout->addWidget(buttons);
        AddColourBalance();
        AddOwnProperties();
    }

    int ControlCount() const { return m_form->rowCount(); }

private:
    GObject* Object() const { return G_OBJECT(m_element.get()); }

    void AddColourBalance()
    {
        if (!GST_IS_COLOR_BALANCE(m_element.get()))
            return;
        GstColorBalance* balance = GST_COLOR_BALANCE(m_element.get());
        for (const GList* item = gst_color_balance_list_channels(balance); item;
             item = item->next) {
            auto* channel = GST_COLOR_BALANCE_CHANNEL(item->data);
            const QString label = QString::fromUtf8(channel->label);
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setObjectName(label);
            slider->setRange(channel->min_value, channel->max_value);
            slider->setValue(gst_color_balance_get_value(balance, channel));
            // The element owns its channels for as long as it lives, and the
            // sheet holds a reference to the element.
            QObject::connect(slider, &QSlider::valueChanged, this, [balance, channel](int value) {
                gst_color_balance_set_value(balance, channel, value);
            });
            m_form->addRow(label, slider);
            m_balanceLabels.insert(label.toLower());
        }
    }

    void AddOwnProperties()
    {
        guint count = 0;
        GParamSpec** params = g_object_class_list_properties(G_OBJECT_GET_CLASS(Object()), &count);
        for (guint i = 0; i < count; ++i)
            AddProperty(params[i]);
        g_free(params);
    }

    void AddProperty(GParamSpec* param)
    {
        const GParamFlags flags = param->flags;
        if ((flags & G_PARAM_READWRITE) != G_PARAM_READWRITE ||
            (flags & (G_PARAM_CONSTRUCT_ONLY | G_PARAM_DEPRECATED)) || !IsCameraOwnProperty(param))
            return;
        const QString name = QString::fromUtf8(param->name);
        // A real camera offers brightness and the like both as properties and
        // as colour-balance channels; one control is enough.
        if (StreamSettings().contains(name) || m_balanceLabels.contains(name.toLower()))
            return;
        const QString label = QString::fromUtf8(g_param_spec_get_nick(param));

        QWidget* control = nullptr;
        switch (G_TYPE_FUNDAMENTAL(param->value_type)) {
        case G_TYPE_BOOLEAN:
            control = BoolControl(param);
            break;
        case G_TYPE_ENUM:
            control = EnumControl(param);
            break;
        case G_TYPE_INT:
        case G_TYPE_UINT:
        case G_TYPE_LONG:
        case G_TYPE_ULONG:
        case G_TYPE_INT64:
        case G_TYPE_UINT64:
            control = IsColourProperty(param) ? ColourControl(param) : IntegerControl(param);
            break;
        case G_TYPE_DOUBLE:
            control = DoubleControl(param);
            break;
        default:
            return;
        }
        control->setObjectName(name);
        control->setToolTip(QString::fromUtf8(g_param_spec_get_blurb(param)));
        m_form->addRow(label, control);
    }

    QWidget* BoolControl(GParamSpec* param)
    {
        gboolean value = FALSE;
        g_object_get(Object(), param->name, &value, nullptr);
        auto* box = new QCheckBox(this);
        box->setChecked(value);
        QObject::connect(box, &QCheckBox::toggled, this, [this, param](bool on) {
            g_object_set(Object(), param->name, gboolean(on), nullptr);
        });
        return box;
    }

    QWidget* EnumControl(GParamSpec* param)
    {
        GEnumClass* values = G_PARAM_SPEC_ENUM(param)->enum_class;
        gint current = 0;
        g_object_get(Object(), param->name, &current, nullptr);
        auto* combo = new QComboBox(this);
        for (guint i = 0; i < values->n_values; ++i) {
            combo->addItem(QString::fromUtf8(values->values[i].value_nick),
                           values->values[i].value);
            if (values->values[i].value == current)
                combo->setCurrentIndex(int(i));
        }
        QObject::connect(combo, &QComboBox::currentIndexChanged, this,
                         [this, param, combo](int index) {
                             if (index >= 0)
                                 g_object_set(Object(), param->name,
                                              gint(combo->itemData(index).toInt()), nullptr);
                         });
        return combo;
    }

    QWidget* IntegerControl(GParamSpec* param)
    {
        auto* box = new QSpinBox(this);
        const auto [low, high] = IntegerRange(param);
        box->setRange(low, high);
        box->setValue(int(std::clamp<qint64>(ReadInteger(Object(), param), low, high)));
        QObject::connect(box, &QSpinBox::valueChanged, this,
                         [this, param](int value) { WriteInteger(Object(), param, value); });
        return box;
    }

    QWidget* DoubleControl(GParamSpec* param)
    {
        auto* box = new QDoubleSpinBox(this);
        box->setDecimals(3);
        box->setRange(G_PARAM_SPEC_DOUBLE(param)->minimum, G_PARAM_SPEC_DOUBLE(param)->maximum);
        gdouble value = 0;
        g_object_get(Object(), param->name, &value, nullptr);
        box->setValue(value);
        QObject::connect(box, &QDoubleSpinBox::valueChanged, this, [this, param](double v) {
            g_object_set(Object(), param->name, gdouble(v), nullptr);
        });
        return box;
    }

    QWidget* ColourControl(GParamSpec* param)
    {
        auto* button = new QPushButton(this);
        ShowSwatch(button, QRgb(ReadInteger(Object(), param)));
        QObject::connect(button, &QPushButton::clicked, this, [this, param, button] {
            const QColor chosen = QColorDialog::getColor(
                QColor::fromRgba(QRgb(ReadInteger(Object(), param))), this,
                QString::fromUtf8(g_param_spec_get_nick(param)), QColorDialog::ShowAlphaChannel);
            if (!chosen.isValid())
                return;
            WriteInteger(Object(), param, qint64(chosen.rgba()));
            ShowSwatch(button, chosen.rgba());
        });
        return button;
    }

    GstElementPtr m_element;
    QFormLayout* m_form = nullptr;
    QSet<QString> m_balanceLabels;
};

} // namespace

std::unique_ptr<QDialog> CreateCaptureDevicePropertySheet(CCaptureGraph* graph, QWidget* owner)
{
    // While a camera is being opened, its element is not yet the graph's to show.
    if (!graph || !graph->Pipeline() || !graph->HasCamera())
        return {};
    GstBin* pipeline = GST_BIN(graph->Pipeline());
    GstElementPtr device(gst_bin_get_by_name(pipeline, "CaptureDevice"));
    // Only the graph's own element of that name, not one nested in a bin.
    if (!device || GST_OBJECT_PARENT(device.get()) != GST_OBJECT(pipeline))
        return {};
    QString title = graph->DeviceName();
    if (title.isEmpty())
        title = QStringLiteral("CaptureDevice");
    auto sheet = std::make_unique<PropertySheet>(std::move(device), title, owner);
    if (sheet->ControlCount() == 0)
        return {};
    // Its controls act on this camera's element: once the camera is taken
    // out, the sheet closes.
    QObject::connect(graph->Camera(), &CCameraFollower::CameraChanged, sheet.get(), &QDialog::reject);
    return sheet;
}

void ShowCaptureDeviceProperties(CCaptureGraph* graph, QWidget* owner)
{
    std::unique_ptr<QDialog> sheet = CreateCaptureDevicePropertySheet(graph, owner);
    if (sheet)
        sheet->exec();
}

} // namespace pelmora
