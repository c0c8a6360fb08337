// A list box's lines, kept apart from any window so that the protocol can log
// into a list whether or not its window is loaded. A window that shows the list
// registers a view callback and mirrors every change.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class ListBox {
public:
    enum class Change { Appended, InsertedAtTop, Cleared };
    using View = std::function<void(Change, const QString&)>;

    // Appends a line at the end.
    void AddItem(const QString& line);
    // Inserts a line at the top (index 0).
    void InsertItem(const QString& line);
    void Clear();

    int ListCount() const { return static_cast<int>(lines_.size()); }
    const QString& List(int index) const { return lines_.at(index); }
    const QStringList& Lines() const { return lines_; }

    // At most one view: the window currently showing this list. Passing an
    // empty function detaches it.
    void SetView(View view) { view_ = std::move(view); }

private:
    QStringList lines_;
    View view_;
};
