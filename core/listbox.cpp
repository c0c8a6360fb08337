#include "core/listbox.h"

void ListBox::AddItem(const QString& line) {
    lines_.append(line);
    if (view_) {
        view_(Change::Appended, line);
    }
}

void ListBox::InsertItem(const QString& line) {
    lines_.prepend(line);
    if (view_) {
        view_(Change::InsertedAtTop, line);
    }
}

void ListBox::Clear() {
    lines_.clear();
    if (view_) {
        view_(Change::Cleared, QString());
    }
}
