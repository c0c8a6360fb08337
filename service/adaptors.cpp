#include "service/adaptors.h"

Mixer1Adaptor::Mixer1Adaptor(MixerService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}

ApplicationAdaptor::ApplicationAdaptor(MixerService* service)
    : QDBusAbstractAdaptor(service), service_(*service) {}
