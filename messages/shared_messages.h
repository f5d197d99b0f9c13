// Every message that both programs, quillet.exe and quillcheck.exe, may show a
// person. The code shows these constants and no text of its own; a "%s"
// marks a value it fills in (formatMessage). The user guide's table
// "messaggi-comuni" is checked against this list by scripts/check-guide: a
// message changed or added here needs its row there.
#pragma once

namespace shared_messages {

// A fault that a window's handler did not expect ends the operation, not the program.
inline constexpr char UNEXPECTED_ERROR[] = "Si è verificato un errore imprevisto: l'operazione è stata interrotta.";

// The temporary folder and its files.
inline constexpr char DISK_WRITE_ERROR[] =
    "Attenzione! Si è verificato un errore nella scrittura sul disco\r\n\n L'applicazione verrà chiusa";
inline constexpr char TEMP_FILE_NOT_OPENED[] = "errore sull' apertura del file temporaneo\n %s";
inline constexpr char SIGNED_FILE_NOT_STORED[] = "Errore sulla memorizzazione del file firmato";

}  // namespace shared_messages
