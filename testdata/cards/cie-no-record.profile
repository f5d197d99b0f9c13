# A CIE whose personal-data record cannot be read
atr = 3B E9 00 FF C1 10 31 FE 55 00 64 05 00 C8 02 31 80 00 47
personal_data = 
pin = 12345678
certificate = ../pki/cards/cie140.der
key = ../pki/cards/cie140.keyblob
fail = CIE_ReadDatiPersonaliRaw
