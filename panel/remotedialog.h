// The "Remote…" window: the address of the remote control's web page with
// its token, selectable for copying, and its QR code for a phone when
// qrencode is installed. Not modal; the panel keeps working beside it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>

class RemoteDialog : public QDialog {
public:
    explicit RemoteDialog(QWidget* parent);

    // Shows `address` and starts drawing its QR code.
    void ShowAddress(const QString& address);

    QString Address() const { return address_.text(); }
    // The QR code as drawn; null while it is drawn or when qrencode is missing.
    QPixmap Code() const { return code_.pixmap(); }
    // True once the QR code is drawn or known not to come.
    bool CodeSettled() const { return drawing_.state() == QProcess::NotRunning; }

private:
    void CodeDrawn(int exitCode, QProcess::ExitStatus status);

    QLabel intro_;
    QLabel address_;
    QLabel code_;
    QPushButton close_;
    QProcess drawing_; // qrencode, writing the code as PNG on its standard output
    QString drawnAddress_;
};
