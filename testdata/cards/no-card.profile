# A reader without a card
card = no
