#pragma once
#include <initializer_list>

class QAbstractButton;
class QButtonGroup;
class QObject;
class QWidget;

// A radio group's buttons in one exclusive group whose ids count from firstId in order, so the
// checked id is the item index.
QButtonGroup* MakeButtonGroup(QObject* owner, const char* name,
                              std::initializer_list<QAbstractButton*> buttons, int firstId = 0);

void CentreOnDesktop(QWidget& window);

// A form whose controls stand at fixed places grows with its font: with text taller than the
// 14 pixels it was drawn for (a larger font, or a screen of more dots per inch), every place
// and size is scaled by the same ratio and the form is fixed at the scaled size. At the drawn
// size nothing moves.
void FitFormToFont(QWidget& form);

// The name the desktop shows for the running program. It is not a display name, which Qt
// would append to every window's caption.
void SetApplicationTitle();
