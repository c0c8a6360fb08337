// libFuzzer target: any byte string as the settings file.
#include "core/settings.h"
#include "core/state.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
QString FuzzPath() {
    return QDir::temp().filePath(QStringLiteral("ardenix-fuzz-%1.vqp").arg(::getpid()));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = FuzzPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return 0;
        }
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    ResetSharedState();
    const settings::ReadResult result = settings::LoadSettingsFile(path);
    QFile::remove(path); // each input leaves nothing behind
    if (result.failed) {
        std::abort(); // a readable regular file must always be read
    }
    for (const SceneData& scene : programSetup.scenes) {
        for (const Single level : scene.masterLevel) {
            const Integer first = settings::FirstLevelFromDecibels(level);
            if (!std::isfinite(level) && first != 0) {
                std::abort();
            }
        }
    }
    return 0;
}
