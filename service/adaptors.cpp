#include "service/adaptors.h"

#include <QDBusMetaType>
#include <QMetaMethod>

namespace {

bool TakesOnlyTheMessage(const QMetaMethod& slot) {
    return slot.parameterCount() == 1 &&
           slot.parameterMetaType(0) == QMetaType::fromType<QDBusMessage>();
}

// The D-Bus signature of the arguments that the typed slot `method` of an
// adaptor takes: "sb" for SetMute; empty when it has none.
QString ArgumentSignature(const QMetaObject& adaptor, const QByteArray& method) {
    for (int i = adaptor.methodOffset(); i < adaptor.methodCount(); ++i) {
        const QMetaMethod slot = adaptor.method(i);
        if (slot.name() != method || TakesOnlyTheMessage(slot)) {
            continue;
        }
        QString signature;
        for (int p = 0; p < slot.parameterCount(); ++p) {
            signature += QLatin1String(QDBusMetaType::typeToSignature(slot.parameterMetaType(p)));
        }
        return signature;
    }
    return {};
}

} // namespace

void RefuseTypes(MixerService& service, const QDBusAbstractAdaptor& adaptor,
                 const QDBusMessage& call) {
    service.RefuseArgumentTypes(ArgumentSignature(*adaptor.metaObject(), call.member().toLatin1()));
}

Mixer1Adaptor::Mixer1Adaptor(MixerService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}

void Mixer1Adaptor::ReleaseTransport(const QDBusMessage& call) {
    if (call.signature().isEmpty()) {
        service_.ReleaseTransport();
    } else {
        RefuseTypes(service_, *this, call);
    }
}

ApplicationAdaptor::ApplicationAdaptor(MixerService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}
