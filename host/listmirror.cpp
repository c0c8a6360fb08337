#include "host/listmirror.h"

#include <QListWidget>

ListMirror::ListMirror(ListBox& list, QListWidget& widget) : list_(list) {
    widget.clear();
    widget.addItems(list.Lines());
    QListWidget* const shown = &widget;
    list_.SetView([shown](ListBox::Change change, const QString& line) {
        switch (change) {
        case ListBox::Change::Appended:
            shown->addItem(line);
            break;
        case ListBox::Change::InsertedAtTop:
            shown->insertItem(0, line);
            break;
        case ListBox::Change::Cleared:
            shown->clear();
            break;
        }
    });
}

ListMirror::~ListMirror() {
    Detach();
}

void ListMirror::Detach() {
    if (attached_) {
        list_.SetView({});
        attached_ = false;
    }
}
