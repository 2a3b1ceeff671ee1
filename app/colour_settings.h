// The colour settings: an item chosen in the item combo, then a colour from the picker.
#pragma once

namespace kivo {

class Kivo;

// The item combo's selection changed.
void colourItemChosen(Kivo& kivo);
// The picker delivered a colour: the chosen item takes it.
void colourChosen(Kivo& kivo);

}  // namespace kivo
