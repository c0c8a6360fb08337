// What the program writes to standard error while a capture lives: the
// descriptor is pointed at a temporary file and put back afterwards.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <unistd.h>

class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        std::FILE* file = std::tmpfile();
        file_ = file;
        ::dup2(::fileno(file), 2);
    }
    ~StderrCapture() { Restore(); }
    QString Text() {
        Restore();
        std::rewind(file_);
        QByteArray bytes;
        char buffer[512];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
            bytes.append(buffer, static_cast<qsizetype>(n));
        }
        return QString::fromLocal8Bit(bytes);
    }

private:
    void Restore() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
    }
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};
