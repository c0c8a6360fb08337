// The picture buttons that keys hold down, told apart from the window
// system's auto-repeat: a key held presses its button once and lets it go
// once, however long it is held.
//
// Qt marks a key's repeated events (QKeyEvent::isAutoRepeat), but on X11 the
// repeat arrives as a release and a press with one time stamp, and a release
// handled before its press has arrived is taken for a real one. A release
// therefore lets go of the button only after a short grace; a press of the
// same key with the release's time stamp within it withdraws it, and a
// press with another time stamp (the key really pressed again) lets go at
// once and presses anew.
#pragma once

#include <QPointer>
#include <QTimer>

#include <vector>

class QKeyEvent;
class SSCommand;

class KeyHolds {
public:
    static constexpr int graceMs = 40;

    KeyHolds();
    KeyHolds(const KeyHolds&) = delete;
    KeyHolds& operator=(const KeyHolds&) = delete;

    // A key's press meant for `button`: presses it (SSCommand::KeyDown) unless
    // this key holds it already (its repeat) or the button does not take it.
    void Press(const QKeyEvent& event, SSCommand& button);
    // A key's release: false when the key holds no button (the event is not
    // this holder's); otherwise its button is let go after the grace.
    bool Release(const QKeyEvent& event);
    // True while the key of this event holds a button.
    bool Holds(const QKeyEvent& event) const;
    // True when this event's key is for the holder: a key it holds (whatever
    // the modifiers now), or one pressed without Control, Alt or Meta (Shift
    // and the keypad do not change which button a key works).
    bool Takes(const QKeyEvent& event) const;
    // Lets go of every button at once (the window was left).
    void LetGoAll();
    // The keys holding a button, their releases under way included.
    int Count() const { return static_cast<int>(holds_.size()); }

private:
    struct Hold {
        quint32 key;                // the scan code, or the key's code without one
        QPointer<SSCommand> button; // gone with its window
        bool releasing;             // released, within the grace
        quint64 releaseStamp;
    };
    static quint32 KeyOf(const QKeyEvent& event);
    std::vector<Hold>::iterator Find(quint32 key);
    // Ends the hold and lets go of its button (SSCommand::KeyUp).
    void LetGo(quint32 key);
    void LetGoReleased();

    std::vector<Hold> holds_;
    QTimer grace_;
};
