// The panel's text labels Label1: items 0 and 1 (the master names) and 10 to
// 13 (the scene names beside the radio buttons). Other indices do not exist.
#pragma once

#include <QLabel>

#include <array>
#include <stdexcept>

class LabelArray {
public:
    static constexpr std::array<int, 6> indices{0, 1, 10, 11, 12, 13};

    QLabel& operator[](int index) { return labels_[Slot(index)]; }
    const QLabel& operator[](int index) const { return labels_[Slot(index)]; }

private:
    static std::size_t Slot(int index) {
        for (std::size_t slot = 0; slot < indices.size(); ++slot) {
            if (indices[slot] == index) {
                return slot;
            }
        }
        throw std::out_of_range("Label1: no control with this index");
    }

    std::array<QLabel, 6> labels_;
};
