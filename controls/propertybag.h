// The property bag a hosting window keeps for each of its custom controls:
// named values that the control reads when it is created and writes when the
// window's design is saved. A name without a value reads as the default the
// reader gives.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

struct PropertyBag {
    QVariantMap values;

    QVariant ReadProperty(const QString& name, const QVariant& defaultValue) const {
        const auto it = values.constFind(name);
        return it == values.constEnd() ? defaultValue : it.value();
    }
    void WriteProperty(const QString& name, const QVariant& value) { values.insert(name, value); }
    bool Contains(const QString& name) const { return values.contains(name); }
};
