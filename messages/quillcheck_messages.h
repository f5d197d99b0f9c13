// Every message that the verification program quillcheck.exe shows a person:
// its boxes, the texts of its windows that tell what it found, and the
// verdicts and reasons of the folder report (what both programs show is in
// shared_messages.h). The code shows these constants and no text of its own;
// "%s", "%d", "%u", "%lu", "%x" and "%08X" mark the values it fills in
// (formatMessage). The user guide's table "messaggi-quillcheck" is checked
// against this list by scripts/check-guide: a message changed or added here
// needs its row there.
#pragma once

namespace quillcheck_messages {

// Start-up.
inline constexpr char NO_FILE_GIVEN[] =
    "L'applicazione è stata avviata senza selezionare alcun file p7m e verrà terminata";
inline constexpr char NOT_A_SIGNED_FILE[] = "Il file selezionato non è un p7m e l'applicazione verrà chiusa";

// The signers window: its summary line, and what a button needs.
inline constexpr char FILE_DAMAGED[] = "File Corrotto o Firma non valida";
inline constexpr char SIGNED_ONCE[] = "File non Corrotto; Il file risulta firmato %d volta";
inline constexpr char SIGNED_TIMES[] = "File non Corrotto; Il file risulta firmato %d volte";
inline constexpr char NO_SIGNATURE_VERIFIABLE[] = "Firma non verificabile: algoritmo non supportato (%s)";
inline constexpr char SELECT_SIGNER_FOR_CERTIFICATE[] =
    "Selezionare un firmatario dalla lista \r\n\n  prima di visualizzare il certificato.";
inline constexpr char SELECT_SIGNER_FOR_REVOCATION[] =
    "Selezionare un firmatario dalla lista \r\n\n  prima di verificarne la revoca in CRL.";

// A signer's row: the name when the certificate has none, and the parts of
// its state, in the order they are joined (the expiry date stands first
// when no finding takes its place).
inline constexpr char NAME_NOT_READABLE[] = "Firma con carta firma";
inline constexpr char STATE_SIGNATURE_INVALID[] = "Firma non valida";
inline constexpr char STATE_CERTIFICATE_UNREADABLE[] = ";certificato illeggibile";
inline constexpr char STATE_COUNTER_SIGNATURE_UNREADABLE[] = ";controfirma illeggibile";
inline constexpr char STATE_NOT_VERIFIABLE[] = "Firma non verificabile (%s)";
inline constexpr char STATE_EXPIRED[] = "Scaduto";
inline constexpr char STATE_NOT_YET_VALID[] = "Non ancora valido";
inline constexpr char STATE_CA_NOT_ACCEPTED[] = ";CA non ammessa";
inline constexpr char STATE_LIST_OUTDATED[] = ";elenco di fiducia non aggiornato";
inline constexpr char STATE_QUALIFIED_SIGNATURE[] = ";Firma qualificata";
inline constexpr char STATE_QUALIFIED_CERTIFICATE[] = ";Certificato qualificato";
inline constexpr char STATE_KEY_USAGE_NOT_SIGNING[] = ";Chiave non destinata alla firma";
inline constexpr char STATE_EXTENDED_USE_NOT_SIGNING[] = ";Certificato destinato ad altri usi";
inline constexpr char STATE_TIMESTAMPED[] = ";Marca temporale %s";
inline constexpr char STATE_TIMESTAMPED_QUALIFIED[] = ";Marca temporale qualificata %s";
inline constexpr char STATE_TIMESTAMP_NOT_ACCEPTED[] = ";Marca temporale di TSA non ammessa";
inline constexpr char STATE_TIMESTAMP_FAILED[] = ";Marca temporale non valida";
inline constexpr char STATE_PARENT_NOT_VERIFIED[] = ";Firma controfirmata non verificata";
inline constexpr char STATE_COUNTER_SIGNATURE[] = ";Controfirma";

// The content and source views.
inline constexpr char CONTENT_NOT_SHOWN[] = "Impossibile visualizzare il file.\n%s\n errore %d sulla ShellExecute!";
inline constexpr char INTERNAL_ERROR[] = "errore interno";
inline constexpr char VIEWER_LOW_RESOURCES[] = "Sistema con risorse limitate";
inline constexpr char VIEWER_NOT_FOUND[] = "File npon trovato";
inline constexpr char VIEWER_PATH_NOT_FOUND[] = "path non trovato";
inline constexpr char VIEWER_BAD_FORMAT[] = "Formato file non corretto";
inline constexpr char FILE_NOT_OPENED[] = "Errore nell'apertura del file";
inline constexpr char FILE_NOT_READ[] = "Errore interno durante la lettura del file";

// The revocation check's answers.
inline constexpr char REVOCATION_STAMP_AUTHORITY_REVOKED[] =
    "Il certificato dell'autorità che ha emesso la marca temporale risulta REVOCATO prima della data della marca: "
    "la marca non prova nulla, e il Certificato è verificato alla data di oggi.";
inline constexpr char REVOCATION_STAMP_AUTHORITY_UNCHECKED[] =
    "Non è stato possibile verificare la revoca del certificato dell'autorità che ha emesso la marca temporale: "
    "la marca temporale va controllata.";
inline constexpr char REVOCATION_VALID[] = "Il Certificato risulta essere VALIDO.";
inline constexpr char REVOCATION_REVOKED[] = "Il Certificato risulta essere stato REVOCATO.";
inline constexpr char REVOCATION_EXPIRED[] = "Il Certificato risulta essere SCADUTO.";
inline constexpr char REVOCATION_REVOKED_LATER[] =
    "Il Certificato risulta essere stato REVOCATO dopo la data della marca temporale: "
    "a quella data era valido, e la firma resta valida.";
inline constexpr char REVOCATION_NOT_ESTABLISHED[] =
    "Non è possibile stabilire se il Certificato fosse revocato alla data della marca temporale: "
    "è scaduto, e la CRL non conserva i certificati scaduti.";
inline constexpr char REVOCATION_OCSP_UNKNOWN[] =
    "Il servizio OCSP dell'autorità non conosce il Certificato: non è possibile stabilire se sia revocato.";
// The line after the answer that says which source gave it, and when.
inline constexpr char REVOCATION_SOURCE_OCSP[] = "(fonte: OCSP, risposta del %s)";
inline constexpr char REVOCATION_SOURCE_CRL[] = "(fonte: CRL, lista del %s)";
inline constexpr char REVOCATION_NETWORK[] =
    "Riscontrati problemi di rete durante la connessione con il Server\n"
    "Non è stato possibile effetture la verifica del certificato.";
inline constexpr char REVOCATION_AUTHENTICATION[] =
    "Riscontrati problemi durante l'autenticazione con il Server.\n"
    "Non è stato possibile effetture la verifica del certificato.\nContattare l'amministratore.";
inline constexpr char REVOCATION_DOWNLOAD[] =
    "Riscontrati problemi durante il download della CRL dal Server.\n"
    "Non è stato possibile effetture la verifica del certificato.\nContattare l'amministratore.";
inline constexpr char REVOCATION_INTERNAL[] =
    "Riscontrati problemi interni durante il controllo di validità del Certificato\n"
    "Non è stato possibile effetture la verifica del certificato.\nContattare l'amministratore.";
inline constexpr char REVOCATION_URL[] =
    "Errore relativo alla URL relativa alla CRL sul Server.\n"
    "Non è stato possibile effetture la verifica del certificato.\nContattare l'amministratore.";
inline constexpr char REVOCATION_URL_PARSE[] =
    "Errore interno durante il parsing della URL relativa alla CRL sul Server.\n"
    "Non è stato possibile effetture la verifica del certificato.\nContattare l'amministratore.";
inline constexpr char REVOCATION_EMPTY_CRL[] =
    "La CRL appare essere vuota.\n"
    "Non è stato possibile effetture la verifica del certificato.\nContattare l'amministratore.";
inline constexpr char REVOCATION_UNDOCUMENTED[] =
    "Errore non documentato: %x\n"
    "Non è stato possibile effetture la verifica del certificato.\nContattare l'amministratore.";

// The folder window's lines.
inline constexpr char FOLDER_READY[] =
    "Premere \"Avvia\" per verificare i file p7m della cartella e delle sue sottocartelle.";
inline constexpr char FOLDER_SEARCHING[] = "Ricerca dei file p7m...";
inline constexpr char FOLDER_PROGRESS[] = "File %u di %u";
inline constexpr char FOLDER_STOPPING[] = "Interruzione in corso...";
inline constexpr char FOLDER_DONE[] =
    "Verifica conclusa: %u file. Validi %u, da controllare %u, non validi %u, non verificabili %u.";
inline constexpr char FOLDER_STOPPED[] =
    "Verifica interrotta: %u file. Validi %u, da controllare %u, non validi %u, non verificabili %u.";
inline constexpr char FOLDER_NOT_RUN[] = "Verifica non eseguita.";
inline constexpr char FOLDER_REPORT_AT[] = "Rapporto: %ls";

// Why a folder check could not run, in a box (or on the standard error of a
// scheduled run).
inline constexpr char FOLDER_MISSING[] = "La cartella da verificare non esiste o non è una cartella.";
inline constexpr char FOLDER_UNREADABLE[] = "La cartella da verificare non si può leggere.";
inline constexpr char OUTPUT_INVALID[] = "La cartella dei risultati non è un percorso valido.";
inline constexpr char OUTPUT_INSIDE_FOLDER[] = "La cartella dei risultati non può stare nella cartella da verificare.";
inline constexpr char OUTPUT_NOT_MADE[] = "La cartella dei risultati non si può creare, o non è vuota.";
inline constexpr char OUTPUT_NOT_WRITABLE[] = "Nella cartella dei risultati non si può scrivere.";
inline constexpr char REPORT_NOT_WRITTEN[] = "Il rapporto non si può scrivere nella cartella dei risultati.";
inline constexpr char REPORT_INCOMPLETE[] = "Il rapporto non si è potuto scrivere per intero.";
inline constexpr char FOLDER_OUT_OF_MEMORY[] = "Memoria insufficiente per la verifica della cartella.";
inline constexpr char COMMAND_OUTPUT_MISSING[] = "Dopo /uscita va indicata la cartella dei risultati.";
inline constexpr char COMMAND_UNKNOWN_OPTION[] =
    "Opzione sconosciuta: %s. Uso: quillcheck /rapporto [/revoca] [/uscita cartella] cartella";
inline constexpr char COMMAND_SEVERAL_FOLDERS[] = "Va indicata una sola cartella da verificare.";
inline constexpr char COMMAND_FOLDER_MISSING[] =
    "Manca la cartella da verificare. Uso: quillcheck /rapporto [/revoca] [/uscita cartella] cartella";

// The folder report: each file's verdict, and the reason when it has one.
inline constexpr char VERDICT_VALID[] = "Valido";
inline constexpr char VERDICT_TO_CHECK[] = "Da controllare";
inline constexpr char VERDICT_INVALID[] = "Non valido";
inline constexpr char VERDICT_NOT_VERIFIABLE[] = "Non verificabile";
inline constexpr char REPORT_STOPPED[] = "Verifica interrotta: %u file su %u verificati.";
inline constexpr char REASON_EMPTY_FILE[] = "File vuoto (0 byte)";
inline constexpr char REASON_TOO_LARGE[] = "File troppo grande per essere verificato";
inline constexpr char REASON_OUT_OF_MEMORY[] = "Memoria insufficiente per verificare il file";
inline constexpr char REASON_NO_PROVIDER[] = "Nessun servizio crittografico per verificare la firma";
inline constexpr char REASON_FILE_GONE[] = "Il file non c'è più: è stato spostato o cancellato durante la verifica";
inline constexpr char REASON_ACCESS_DENIED[] = "Il file non si può leggere: accesso negato";
inline constexpr char REASON_BAD_NAME[] = "Il file non si può leggere: il suo nome contiene caratteri non ammessi da Windows";
inline constexpr char REASON_LOCKED[] = "Il file non si può leggere: è bloccato da un altro programma";
inline constexpr char REASON_NOT_READ[] = "Il file non si può leggere (errore %lu)";
inline constexpr char REASON_DAMAGED_WITH_CODE[] = "File Corrotto o Firma non valida (errore 0x%08X)";
inline constexpr char REASON_SIGNATURE_BROKEN[] =
    "Firma non valida: il documento è stato modificato dopo la firma, o la firma è guasta";
inline constexpr char REASON_FOLDER_UNREADABLE[] = "Cartella non leggibile: i file che contiene non sono stati verificati";
inline constexpr char REASON_CONTENT_NAME_TOO_LONG[] =
    "Contenuto non scritto: il suo nome non entra nei percorsi della cartella dei risultati";
inline constexpr char REASON_CONTENT_NOT_WRITTEN[] = "Contenuto non scritto (errore %lu)";
inline constexpr char REASON_NO_DIGEST[] = "Impronta SHA-256 non calcolata";

inline constexpr char REASON_NOT_SIGNED_FILE[] = "Non è un file firmato (.p7m): non verificato";
inline constexpr char REASON_LOOKS_SIGNED[] =
    "Il nome imita l'estensione .p7m senza averla: file non verificato, da trattare con sospetto";
inline constexpr char REASON_TOO_MANY_LAYERS[] =
    "Più di %d firme una dentro l'altra: quelle più interne non sono state verificate";
inline constexpr char REASON_RUNNABLE_CONTENT[] =
    "Contenuto che Windows eseguirebbe all'apertura: salvato come %s, non apritelo";

// What a signer's state means for the clerk, in the report's reason.
inline constexpr char FINDING_SIGNATURE_BROKEN[] =
    "firma non valida: il documento è stato modificato dopo la firma, o la firma è guasta";
inline constexpr char FINDING_CERTIFICATE_UNREADABLE[] = "firma non valida: il certificato del firmatario è illeggibile";
inline constexpr char FINDING_COUNTER_SIGNATURE_UNREADABLE[] = "controfirma illeggibile";
inline constexpr char FINDING_PARENT_NOT_VERIFIED[] = "controfirma di una firma non valida: non prova nulla";
inline constexpr char FINDING_NOT_VERIFIABLE[] = "firma con un algoritmo che non si può verificare";
inline constexpr char FINDING_REVOKED[] = "certificato revocato";
inline constexpr char FINDING_EXPIRED[] = "certificato scaduto il %s";
inline constexpr char FINDING_NOT_YET_VALID[] = "certificato non ancora valido";
inline constexpr char FINDING_CA_NOT_ACCEPTED[] = "autorità non ammessa";
inline constexpr char FINDING_LIST_OUTDATED[] =
    "elenco di fiducia non aggiornato: non dice se l'autorità del firmatario sia ammessa";
inline constexpr char FINDING_NOT_FOR_SIGNING[] = "certificato non destinato alla firma di documenti";
inline constexpr char FINDING_TIMESTAMP_FAILED[] = "marca temporale non valida";
inline constexpr char FINDING_TIMESTAMP_NOT_ACCEPTED[] = "marca temporale di un'autorità non ammessa";
inline constexpr char FINDING_STAMP_AUTHORITY_UNCHECKED[] =
    "marca temporale da controllare: la revoca della sua autorità non si è potuta verificare";
inline constexpr char FINDING_REVOCATION_UNCHECKED[] = "revoca non verificata";

// The folder report's revocation answers where no list could settle anything.
inline constexpr char REVOCATION_AUTHORITY_NOT_ACCEPTED[] =
    "Revoca non controllata: il certificato non è di un'autorità ammessa, e della sua lista di revoca non ci si "
    "può fidare.";
inline constexpr char REVOCATION_NO_ADDRESS[] =
    "Revoca non controllata: il certificato non indica dove si trova la lista di revoca (CRL) della sua autorità.";

}  // namespace quillcheck_messages
