// Shows one of the window-independent ListBox lists in a QListWidget: the
// widget starts with the list's lines and follows every later change.
#pragma once

#include "core/listbox.h"

class QListWidget;

class ListMirror {
public:
    ListMirror(ListBox& list, QListWidget& widget);
    ~ListMirror();
    ListMirror(const ListMirror&) = delete;
    ListMirror& operator=(const ListMirror&) = delete;

    // Stops following the list (the window unloads; a new window may take the
    // list over before this one is deleted).
    void Detach();

private:
    ListBox& list_;
    bool attached_ = true;
};
