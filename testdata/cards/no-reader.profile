# No card reader attached
reader = no
