// Every message that the signing program quillet.exe shows a person: its
// boxes and the lines of its progress window (what both programs show is in
// shared_messages.h). The code shows these constants and no text of its own;
// "%s" and "%d" mark the values it fills in (formatMessage). The user guide's
// table "messaggi-quillet" is checked against this list by
// scripts/check-guide: a message changed or added here needs its row there.
#pragma once

namespace quillet_messages {

// The form.
inline constexpr char TOO_MANY_FILES[] = "Sono stati selezionati troppi file. Ripetere l'operazione in più riprese";
inline constexpr char MESSAGE_TOO_LONG[] =
    "Il testo del messaggio è troppo lungo: sono ammessi al massimo 32767 caratteri.\r\n"
    "Accorciare il testo e ripetere l'operazione.";
inline constexpr char REPLY_TO_TOO_LONG[] =
    "L'indirizzo alternativo per le risposte è troppo lungo: sono ammessi al massimo 255 caratteri.";
inline constexpr char OUT_OF_MEMORY[] = "Memoria insufficiente: l'operazione è stata interrotta.";

// The run of "Firma File": its folder in the temporary folder, and how it ends.
inline constexpr char NO_RUN_FOLDER[] =
    "Non è stato possibile creare una cartella per i file firmati nella cartella temporanea.";
inline constexpr char SIGNED_PATH_TOO_LONG[] =
    "Il percorso del file firmato nella cartella temporanea supererebbe i 255 caratteri:\r\n%s\r\n"
    "Rinominare il file o scegliere una cartella temporanea più breve.";
inline constexpr char SIGNED_FILE_WOULD_TOUCH_ANOTHER[] =
    "Il file firmato non può essere scritto senza toccare un altro file:\r\n%s";
inline constexpr char SIGNING_CANCELLED[] = "L'operazione di firma è stata annullata, la sessione verrà terminata";
inline constexpr char RUN_OUT_OF_MEMORY[] =
    "Memoria insufficiente: la firma è stata interrotta e il messaggio non è stato inviato.\r\n"
    "I file temporanei sono stati eliminati; gli allegati restano nel modulo.";
inline constexpr char RUN_UNEXPECTED_ERROR[] =
    "Si è verificato un errore imprevisto: la firma è stata interrotta e il messaggio non è stato inviato.\r\n"
    "I file temporanei sono stati eliminati; gli allegati restano nel modulo.";
// A line of the progress window, for each file signed.
inline constexpr char FILE_SIGNED[] = "%s  ----> FIRMATO";

// The card and its reader.
inline constexpr char NO_READER[] = "Nessun lettore di smartcard riconosciuto;\n\rverificare le connessioni";
inline constexpr char INSERT_CARD[] = "Inserire Una carta nel lettore di smartcard";
inline constexpr char READER_CONNECTION_FAILED[] = "Errore sulla connessione con il lettore di smartcard";
inline constexpr char CARD_NOT_READ[] = "Errore sulla Lettura ATR";
inline constexpr char PIN_REFUSED[] = "Il pin inserito non è corretto!";

// Signing with the CIE.
inline constexpr char CIE_OF_ANOTHER_MUNICIPALITY[] = "La smartCard non è una CIE emessa dal Comune Corretto";
inline constexpr char CIE_SIGNING_FAILED[] = "Errore durante le operazioni di firma";
inline constexpr char CIE_SIGNED_FILE_FAILED[] = "errore durante le operazioni di firma";
inline constexpr char SIGNING_FAULT[] = "In fnSignFile catch. \n";

// Signing with another card, through its PKCS#11 module.
inline constexpr char MODULE_NOT_FOUND[] = "Libreria pkcs11 non trovata";
inline constexpr char MODULE_FILE_NOT_FOUND[] = "File non trovato";
inline constexpr char MODULE_NOT_INITIALIZED[] = "C_Initialize return error %d";
inline constexpr char MODULE_SLOTS_NOT_LISTED[] = "C_GetSlotList return error %d";
inline constexpr char MODULE_NO_CARD[] = "Inserire Una carta nel lettore";
inline constexpr char MODULE_SEVERAL_CARDS[] = "Attenzione, presenti: %d carte in altrettanti lettori; ambiguo";
inline constexpr char MODULE_CARD_NOT_RECOGNISED[] = "Carta Non Riconosciuta come valida";
inline constexpr char MODULE_PIN_WRONG[] = "PIN ERRATO";
inline constexpr char MODULE_CERTIFICATE_NOT_FOUND[] = "certificato non trovato";
inline constexpr char MODULE_CERTIFICATE_NOT_READ[] = "Errore sulla lettura del certificato";
inline constexpr char MODULE_KEY_NOT_FOUND[] = "chiave non trovata";
inline constexpr char MODULE_DIGEST_FAILED[] = "errore in hashing";
inline constexpr char MODULE_SIGNED_FILE_NOT_MADE[] = "errore sulla creazione del pkcs7";
inline constexpr char MODULE_SIGN_INIT_FAILED[] = "errore in signinit";
inline constexpr char MODULE_SIGN_FAILED[] = "errore sulla c_sign";
inline constexpr char MODULE_FINALIZE_FAILED[] = "errore sulla finalize";
inline constexpr char MODULE_SIGNED_FILE_NOT_WRITTEN[] = "errore sulla scrittura del pkcs7";
inline constexpr char MODULE_FAULT[] = "errore generico, eccezione";

// The run's files that another program held open, so that they could not be removed.
inline constexpr char TEMP_FILES_NOT_DELETED[] = "Attenzione si è verificato un errore nella cancellazione dei file Temporanei";

// The mail.
inline constexpr char NO_MAIL_PROGRAM[] =
    "Su questo computer non è configurato un programma di posta (MAPI32.DLL e la sua funzione MAPISendMail).\r\n"
    "Il messaggio non è stato inviato: gli allegati restano nel modulo per un nuovo invio.";
inline constexpr char MAILBOX_NOT_REACHED[] =
    "Il programma di posta non è riuscito ad accedere alla casella di posta.\r\n"
    "Il messaggio non è stato inviato: gli allegati restano nel modulo per un nuovo invio.";
inline constexpr char MAIL_FAILED[] = "Invio del Messaggio fallito...";
inline constexpr char REPLY_TO_NOT_RESTORED[] =
    "Si è verificato un errore durante il ripristino del reply-to su Outlook Express\r\n\n"
    "Si consiglia di Reimpostarlo dal client di posta";

// Saving the signed files where no mail leaves.
inline constexpr char SAVE_OFFER_NO_MAIL_PROGRAM[] =
    "Su questo computer non è configurato un programma di posta: il messaggio non si può inviare da qui.\r\n\r\n"
    "Volete firmare i file e salvarli in una cartella a vostra scelta, per inviarli poi voi stessi?";
inline constexpr char SAVE_OFFER_MAIL_NOT_SENT[] =
    "I file sono stati firmati, ma il messaggio non è stato inviato.\r\n\r\n"
    "Volete salvare i file firmati in una cartella a vostra scelta, per inviarli poi voi stessi?";
inline constexpr char SAVE_FOLDER_TITLE[] = "Cartella in cui salvare i file firmati";
inline constexpr char SAVE_FAILED[] =
    "Non è stato possibile salvare i file firmati nella cartella\r\n%s\r\n"
    "(%s). Nessun file è stato salvato: scegliete un'altra cartella.";
inline constexpr char SAVE_DONE[] =
    "I file firmati sono stati salvati nella cartella\r\n%s\r\n\r\n%s\r\n"
    "Per inviarli al Comune scrivete un messaggio all'indirizzo %s e allegate tutti questi file, "
    "compreso testoMail.txt.p7m se c'è, oppure caricateli dove il Comune vi indica.";

}  // namespace quillet_messages
