// The panel's context menu and its "Remote…" entry.
#include "panel/frmcontrol.h"
#include "panel/remotedialog.h"

#include <QContextMenuEvent>
#include <QMenu>

namespace {
std::function<QString()> remoteAddress;
}

void SetRemoteAddressProvider(std::function<QString()> provider) {
    remoteAddress = std::move(provider);
}

void FrmControl::contextMenuEvent(QContextMenuEvent* event) {
    const QString address = remoteAddress ? remoteAddress() : QString();
    auto* menu = new QMenu(this); // deleted when it closes
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remote = menu->addAction(
        address.isEmpty() ? tr(remoteOffText) : tr("Remote\u2026"), this, [this, address] {
            if (remoteDialog_ == nullptr) {
                remoteDialog_ = new RemoteDialog(this); // owned by the panel
                remoteDialog_->setWindowFlag(Qt::Window);
            }
            remoteDialog_->ShowAddress(address);
            remoteDialog_->show();
            remoteDialog_->raise();
            remoteDialog_->activateWindow();
        });
    remote->setEnabled(!address.isEmpty());
    menu->popup(event->globalPos());
    event->accept();
}
