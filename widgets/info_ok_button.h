#pragma once

#include "widgets/property_bag.h"

class QWidget;

namespace kalinda {

class ThemedButton;

// The saved values of the information form's OK button: every property not named is absent,
// so the button takes the etched look (style 3).
PropertyBag infoOkButtonProperties();

// Creates the information form's OK button "cmdOK", owned by parent, from its saved values.
ThemedButton* makeInfoOkButton(QWidget& parent);

} // namespace kalinda
