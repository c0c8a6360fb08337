#include "controls/accessibility.h"

#include "controls/ctlfader.h"
#include "controls/sscommand.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace {

// A widget whose inner parts a screen reader does not see.
class WithoutParts : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
};

class PictureButtonAccessible : public WithoutParts {
public:
    explicit PictureButtonAccessible(SSCommand* button)
        : WithoutParts(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        QString text = WithoutParts::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) {
            text = Button()->Caption().trimmed();
        }
        return text;
    }

    QAccessible::State state() const override {
        QAccessible::State state = WithoutParts::state();
        state.pressed = Button()->Held();
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (Button()->Enabled()) {
            names << pressAction();
        }
        return names + WithoutParts::actionNames();
    }

    // A tap: pressed and let go at once, as by a click.
    void doAction(const QString& name) override {
        if (name != pressAction()) {
            WithoutParts::doAction(name);
            return;
        }
        const QPointer<SSCommand> button(Button());
        if (button->KeyDown() && button) {
            button->KeyUp();
        }
    }

private:
    SSCommand* Button() const { return static_cast<SSCommand*>(widget()); }
};

class LevelBarAccessible : public WithoutParts, public QAccessibleValueInterface {
public:
    explicit LevelBarAccessible(Ctlfader* bar) : WithoutParts(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return WithoutParts::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        const QString level =
            QStringLiteral("%1 of %2").arg(Bar()->LitSegments()).arg(Ctlfader::segments);
        if (kind == QAccessible::Value) {
            return level;
        }
        if (kind == QAccessible::Name) {
            const QString name = WithoutParts::text(kind);
            return name.isEmpty() ? level : name + QStringLiteral(", ") + level;
        }
        return WithoutParts::text(kind);
    }

    QVariant currentValue() const override { return Bar()->LitSegments(); }
    void setCurrentValue(const QVariant&) override {} // it only shows a level
    QVariant maximumValue() const override { return Ctlfader::segments; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    Ctlfader* Bar() const { return static_cast<Ctlfader*>(widget()); }
};

QAccessibleInterface* ControlsFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("SSCommand")) {
        if (auto* button = qobject_cast<SSCommand*>(object)) {
            return new PictureButtonAccessible(button);
        }
    } else if (className == QLatin1String("Ctlfader")) {
        if (auto* bar = qobject_cast<Ctlfader*>(object)) {
            return new LevelBarAccessible(bar);
        }
    }
    return nullptr;
}

} // namespace

void InstallControlsAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ControlsFactory);
        return true;
    }();
    static_cast<void>(installed);
}
