# A card whose 8192-bit key is longer than the signing engine handles
atr = 3B FF 18 00 FF 81 31 FE 55 00 6B 02 09 03 03 01 01 01 43 4E 53 10 31 80 9F
pin = 1234
tokens = 1
certificate = ../pki/cards/card144-8192.der
key = ../pki/cards/card144-8192.keyblob
