#include "panel/describe.h"

#include "core/state.h"
#include "panel/frmcontrol.h"

#include <QAccessibleWidget>

#include <array>

namespace {

// Label1(10) .. Label1(13) show the names of the scenes on buttons A..D.
constexpr int sceneLabelFirst = 10;

const std::array<const char*, 7> transportNames{"Previous", "Next",    "Stop", "Rewind",
                                                "Play",     "Forward", "Pause"};

// Set only when it changes: every change is announced to a screen reader.
void Name(QWidget& widget, const QString& name) {
    if (widget.accessibleName() != name) {
        widget.setAccessibleName(name);
    }
}
void Description(QWidget& widget, const QString& description) {
    if (widget.accessibleDescription() != description) {
        widget.setAccessibleDescription(description);
    }
}

// "Input 2 (key 2)", "Play (hold T)".
QString Tip(const QString& what, ButtonGroup group, int index) {
    const std::optional<PanelKey> key = KeyOfButton(group, index);
    if (!key) {
        return what;
    }
    return QStringLiteral("%1 (%2 %3)")
        .arg(what, key->held ? QStringLiteral("hold") : QStringLiteral("key"),
             QLatin1String(key->name));
}

QString LevelButtonName(int index) {
    return MasterName(index / 2) +
           (index % 2 == 0 ? QStringLiteral(" level up") : QStringLiteral(" level down"));
}

QString OnOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

// An image in its role; an indicator is checkable, and checked while on.
class ImageBoxAccessible : public QAccessibleWidget {
public:
    explicit ImageBoxAccessible(ImageBox* box) : QAccessibleWidget(box, box->AccessibleRole()) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        const auto* box = static_cast<const ImageBox*>(widget());
        if (box->AccessibleRole() == QAccessible::Indicator) {
            state.checkable = true;
            state.checked = box->AccessibleChecked();
        }
        return state;
    }
};

// The panel's images, and the panel itself: a top-level window (a frame to AT-SPI).
QAccessibleInterface* PanelFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("ImageBox")) {
        if (auto* box = qobject_cast<ImageBox*>(object)) {
            return new ImageBoxAccessible(box);
        }
    } else if (className == QLatin1String("QWidget")) {
        // The panel has no meta-object of its own: it is asked for as a QWidget.
        if (auto* form = dynamic_cast<FrmControl*>(object)) {
            return new QAccessibleWidget(form, QAccessible::Window);
        }
    }
    return nullptr;
}

} // namespace

QString MasterName(int master) {
    return master == 0 ? QStringLiteral("MASTER A") : QStringLiteral("MASTER B");
}

QString TransportName(int key) {
    return QLatin1String(transportNames.at(static_cast<std::size_t>(key)));
}

void DescribeFixedParts(FrmControl& form) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&PanelFactory);
        return true;
    }();
    static_cast<void>(factoryInstalled);

    for (int k = 0; k < 6; ++k) {
        form.SSCommand1[k].SetKind(SSCommand::AccessibleKind::Radio);
        form.SSCommand1[k].setToolTip(
            Tip(QStringLiteral("Input %1").arg(k + 1), ButtonGroup::Input, k));
    }
    for (int k = 0; k < 7; ++k) {
        SSCommand& key = form.SSCommand2[k];
        Name(key, QStringLiteral("Transport: ") + TransportName(k));
        key.setToolTip(Tip(TransportName(k), ButtonGroup::Transport, k));
    }
    for (int i = 0; i < 4; ++i) {
        SSCommand& button = form.SSCommand4[i];
        Name(button, LevelButtonName(i));
        button.setToolTip(Tip(LevelButtonName(i), ButtonGroup::Level, i));
        Name(form.Image5[i], LevelButtonName(i) + QStringLiteral(", locked while muted"));
    }
    for (int k = 0; k < 4; ++k) {
        form.SSCommand5[k].SetKind(SSCommand::AccessibleKind::Radio);
        form.SSCommand5[k].setToolTip(
            Tip(QStringLiteral("Scene %1").arg(QChar(u'A' + k)), ButtonGroup::Scene, k));
    }
    for (int m = 0; m < 2; ++m) {
        form.SSCommand3[m].SetKind(SSCommand::AccessibleKind::Toggle);
        form.SSCommand3[m].setToolTip(
            Tip(MasterName(m) + QStringLiteral(" mute"), ButtonGroup::Mute, m));
        Ctlfader& bar = form.Ctlfader1[m];
        Name(bar, MasterName(m) + QStringLiteral(" level"));
        const std::optional<PanelKey> up = KeyOfButton(ButtonGroup::Level, 2 * m);
        const std::optional<PanelKey> down = KeyOfButton(ButtonGroup::Level, 2 * m + 1);
        bar.setToolTip(QStringLiteral("%1 level, 0 to 30 (hold %2 or %3 to move it)")
                           .arg(MasterName(m), QLatin1String(up->name), QLatin1String(down->name)));
        Name(form.Image4[m], MasterName(m) + QStringLiteral(" level scale"));
        form.Image2[m].SetAccessibleRole(QAccessible::Indicator);
        form.Image3[m].SetAccessibleRole(QAccessible::Indicator);
        form.Image2[m].setToolTip(MasterName(m) + QStringLiteral(" over-gain lamp"));
        form.Image3[m].setToolTip(MasterName(m) + QStringLiteral(" minus-infinity lamp"));
        DescribeMuting(form, m);
        DescribeLamps(form, m);
    }
    Name(form.Image1, QStringLiteral("Transport keys"));
    DescribeInputs(form);
    for (int k = 0; k < 4; ++k) {
        DescribeScene(form, k, false);
    }
}

void DescribeInputs(FrmControl& form) {
    for (int k = 0; k < 6; ++k) {
        QString name = QStringLiteral("Input %1").arg(k + 1);
        const QString caption = form.SSCommand1[k].Caption().trimmed();
        if (!caption.isEmpty()) {
            name += QStringLiteral(", ") + caption;
        }
        const bool selected = form.panelSelectedInput == k;
        if (selected) {
            name += QStringLiteral(", selected");
        }
        Name(form.SSCommand1[k], name);
        form.SSCommand1[k].SetChecked(selected);
    }
}

void DescribeMuting(FrmControl& form, int master) {
    const MasterSection& section = ReadMirror().panel.masters.at(static_cast<std::size_t>(master));
    SSCommand& button = form.SSCommand3.at(static_cast<std::size_t>(master));
    Name(button, MasterName(master) + QStringLiteral(" mute, ") + OnOff(section.muted == flagTrue));
    button.SetChecked(section.muted == flagTrue);
}

void DescribeScene(FrmControl& form, int button, bool recalled) {
    const auto k = static_cast<std::size_t>(button);
    QString name = QStringLiteral("Scene %1").arg(QChar(u'A' + button));
    const QString scene = ReadMirror().sceneNames.at(k).Trimmed();
    // The label beside the button shows the name with the mixer's blanks;
    // a screen reader hears it without them.
    Name(form.Label1[sceneLabelFirst + button],
         scene.isEmpty() ? name + QStringLiteral(": no name") : scene);
    if (!scene.isEmpty()) {
        name += QStringLiteral(", ") + scene;
    }
    if (recalled) {
        name += QStringLiteral(", recalled");
    }
    form.SSCommand5.at(k).SetChecked(recalled);
    const Integer code = programSetup.sceneSetup.sceneNumbers.at(k);
    if (code >= firstSceneCode && code <= lastSceneCode &&
        programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] !=
            flagFalse) {
        name += QStringLiteral(", locked");
    }
    Name(form.SSCommand5.at(k), name);
}

void DescribeLamps(FrmControl& form, int master) {
    const MasterSection& section = ReadMirror().panel.masters.at(static_cast<std::size_t>(master));
    const auto m = static_cast<std::size_t>(master);
    const bool overGainOn = section.lamps[overGain] == flagTrue;
    const bool mugenOn = section.lamps[mugen] == flagTrue;
    Name(form.Image2.at(m),
         MasterName(master) + QStringLiteral(" over-gain lamp, ") + OnOff(overGainOn));
    form.Image2.at(m).SetAccessibleChecked(overGainOn);
    Name(form.Image3.at(m),
         MasterName(master) + QStringLiteral(" minus-infinity lamp, ") + OnOff(mugenOn));
    form.Image3.at(m).SetAccessibleChecked(mugenOn);
}

void DescribeLink(FrmControl& form, LinkState state) {
    const QString spoken = LinkIndicator::SpokenText(state);
    Description(form, spoken);
    for (Ctlfader& bar : form.Ctlfader1) {
        Description(bar, state == LinkState::Online
                             ? QString()
                             : QStringLiteral("Last known level; ") + spoken.toLower());
    }
}
