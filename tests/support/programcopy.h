// A program directory of a test's own: the ardenix executable and its
// bitmaps, hard-linked (or copied) from the build into a temporary directory
// beside it, so that a test can put its own "Initial.vqp" (or something else
// under that name) where the program looks for it.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

class ProgramCopy {
public:
    ProgramCopy()
        : source_(qEnvironmentVariable("ARDENIX_BIN_DIR")),
          dir_(QDir(source_).filePath(QStringLiteral("../program-copy-XXXXXX"))) {
        if (!dir_.isValid()) {
            return;
        }
        const QDir from(source_);
        QStringList files = from.entryList({QStringLiteral("*.bmp")}, QDir::Files);
        files << QStringLiteral("ardenix");
        valid_ = true;
        for (const QString& name : files) {
            const QByteArray source = QFile::encodeName(from.filePath(name));
            const QByteArray target = QFile::encodeName(dir_.filePath(name));
            if (::link(source.constData(), target.constData()) != 0 &&
                !QFile::copy(from.filePath(name), dir_.filePath(name))) {
                valid_ = false;
            }
        }
    }

    bool Valid() const { return valid_; }
    QString Directory() const { return dir_.path(); }
    QString Executable() const { return dir_.filePath(QStringLiteral("ardenix")); }
    QString SettingsPath() const { return dir_.filePath(QStringLiteral("Initial.vqp")); }
    // Puts a settings file with these bytes where the program reads it.
    bool WriteSettings(const QByteArray& bytes) const {
        QFile file(SettingsPath());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(bytes) == bytes.size();
    }

private:
    QString source_;
    QTemporaryDir dir_;
    bool valid_ = false;
};
