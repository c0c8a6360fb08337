#include "panel/remotedialog.h"

#include <QStandardPaths>
#include <QVBoxLayout>

namespace {
constexpr int codePixelsPerModule = 6;
}

RemoteDialog::RemoteDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Remote control"));
    setModal(false);
    intro_.setText(tr("Open this address on a phone or tablet on the same network:"));
    intro_.setWordWrap(true);
    address_.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    address_.setAccessibleName(tr("Remote control address"));
    code_.setAlignment(Qt::AlignCenter);
    code_.setAccessibleName(tr("QR code of the address"));
    code_.hide();
    close_.setText(tr("Close"));
    connect(&close_, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this); // owned by the dialog
    layout->addWidget(&intro_);
    layout->addWidget(&address_);
    layout->addWidget(&code_);
    layout->addWidget(&close_, 0, Qt::AlignRight);
    connect(&drawing_, &QProcess::finished, this, &RemoteDialog::CodeDrawn);
    connect(&drawing_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            drawnAddress_.clear();
        }
    });
}

void RemoteDialog::ShowAddress(const QString& address) {
    address_.setText(address);
    if (address == drawnAddress_ || drawing_.state() != QProcess::NotRunning) {
        return;
    }
    code_.clear();
    code_.hide();
    const QString qrencode = QStandardPaths::findExecutable(QStringLiteral("qrencode"));
    if (qrencode.isEmpty()) {
        return;
    }
    drawnAddress_ = address;
    drawing_.start(qrencode, {QStringLiteral("-t"), QStringLiteral("PNG"), QStringLiteral("-s"),
                              QString::number(codePixelsPerModule), QStringLiteral("-o"),
                              QStringLiteral("-"), address});
}

void RemoteDialog::CodeDrawn(int exitCode, QProcess::ExitStatus status) {
    QPixmap code;
    if (status != QProcess::NormalExit || exitCode != 0 ||
        !code.loadFromData(drawing_.readAllStandardOutput(), "PNG")) {
        drawnAddress_.clear();
        return;
    }
    code_.setPixmap(code);
    code_.show();
    adjustSize();
    if (drawnAddress_ != address_.text()) {
        ShowAddress(address_.text()); // the address changed while it was drawn
    }
}
