// Where the panel's controls are, for programs that operate the real panel
// through the X server: its title, its size and the centres of its buttons in
// its client area (the design's twips / 15).
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

namespace panelplaces {

inline const QString title = QStringLiteral("^Ardenix Ver\\.1\\.3$");
inline const QSize size(684, 187);

inline QPoint InputButton(int k) {
    return {k < 3 ? 85 : 186, 41 + 36 * (k % 3)};
}
inline QPoint TransportKey(int k) {
    return {41 + 29 * k, 154};
}
inline QPoint MuteButton(int m) {
    return {m == 0 ? 321 : 465, 153};
}
// Level buttons: index 2m + (1 for down).
inline QPoint LevelButton(int i) {
    return {i < 2 ? 368 : 512, (i % 2) == 0 ? 68 : 110};
}
inline QPoint SceneButton(int k) {
    return {573, 43 + 36 * k};
}

} // namespace panelplaces
