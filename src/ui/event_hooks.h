#pragma once
// Small event filters that give plain controls the events the handlers use:
// leaving a control (focus to another control of the program) and a filter
// of typed characters.
#include <functional>

class QKeyEvent;
class QWidget;

namespace qz::app {

// handler runs when widget loses the focus to another control; switching to
// another application or opening a popup does not count.
void OnExit(QWidget* widget, std::function<void()> handler);

// Every key press of widget that produces a character is offered to
// discard; a true answer drops it. Focus keys (Tab) are never offered.
void OnKeyPress(QWidget* widget, std::function<bool(const QKeyEvent&)> discard);

// The mouse wheel changes widget only once the operator has clicked or tabbed
// into it: a wheel turned over it on the way through the page does nothing
// to it (for a list that sends to a device, that would be a write nobody chose).
void IgnoreWheelUnlessFocused(QWidget* widget);

// Whether the key press produces a character (as opposed to moving the
// caret or the focus).
bool TypesCharacter(const QKeyEvent& event);

}  // namespace qz::app
