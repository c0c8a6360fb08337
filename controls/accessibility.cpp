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

    QAccessible::Role role() const override {
        return Button()->Kind() == SSCommand::AccessibleKind::Radio ? QAccessible::RadioButton
                                                                    : QAccessible::Button;
    }

    QString text(QAccessible::Text kind) const override {
        QString text = WithoutParts::text(kind);
        if (kind == QAccessible::Name && text.isEmpty()) {
            text = Button()->Caption().trimmed();
        }
        return text;
    }

    QAccessible::State state() const override {
        QAccessible::State state = WithoutParts::state();
        const SSCommand::AccessibleKind kind = Button()->Kind();
        state.pressed = Button()->Held();
        if (kind != SSCommand::AccessibleKind::Push) {
            state.checkable = true;
            state.checked = Button()->Checked();
        }
        if (kind == SSCommand::AccessibleKind::Toggle) {
            // A checkable button is a toggle button to AT-SPI: pressed while on.
            state.pressed = state.pressed || Button()->Checked();
        }
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

// Shows a level and takes none: no value interface, since Qt's AT-SPI bridge
// offers Increase and Decrease on any value interface and reports them done.
// The level is in the name and the value text.
class LevelBarAccessible : public WithoutParts {
public:
    explicit LevelBarAccessible(Ctlfader* bar) : WithoutParts(bar, QAccessible::ProgressBar) {}

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
