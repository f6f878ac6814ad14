#include "save_error_text.h"

#include <cerrno>

namespace calmora {

namespace {

// The system's reasons a save meets, in Italian; others by number.
std::string SystemErrorItalian(int error) {
    switch (error) {
        case EACCES: return "permesso negato";
        case EPERM: return "operazione non permessa";
        case ENOSPC: return "spazio esaurito sul dispositivo";
        case EDQUOT: return "quota del disco superata";
        case EROFS: return "file system in sola lettura";
        case ENOENT: return "file o cartella inesistente";
        case ENOTDIR: return "non \xC3\xA8 una cartella";
        case EISDIR: return "\xC3\xA8 una cartella";
        case EFBIG: return "file troppo grande";
        case EIO: return "errore di input/output";
        case ENAMETOOLONG: return "nome del file troppo lungo";
        case EMFILE:
        case ENFILE: return "troppi file aperti";
        case ENOMEM: return "memoria insufficiente";
        case EBUSY:
        case ETXTBSY: return "file o dispositivo occupato";
        case ELOOP: return "troppi collegamenti simbolici";
        case EEXIST: return "il file esiste gi\xC3\xA0";
        default: return "errore di sistema " + std::to_string(error);
    }
}

}  // namespace

std::string SaveErrorText(SaveError error, int systemError, Language language) {
    if (language != Language::Italian) return DescribeSaveError(error, systemError);
    const WithSystemReason because{systemError, SystemErrorItalian};
    switch (error) {
        case SaveError::None: return "nessun errore";
        case SaveError::NoImage: return "nessuna immagine da salvare";
        case SaveError::NoFileName: return "manca il nome del file";
        case SaveError::BadJpegQuality:
            return "la qualit\xC3\xA0 JPEG deve essere compresa tra 1 e 100";
        case SaveError::IsFolder: return "\xC3\xA8 una cartella";
        case SaveError::CannotCreate:
            return because("impossibile creare un file nella sua cartella");
        case SaveError::WriteFailed: return because("scrittura non riuscita");
        case SaveError::EncoderFailed:
            return "il codificatore non ha potuto scrivere questa immagine";
        case SaveError::CannotReplace: return because("impossibile sostituire il file");
        case SaveError::NotRegularFile:
            return "non \xC3\xA8 un file normale (dispositivo, FIFO o socket); non sostituito";
        case SaveError::WriteProtected:
            return "il file \xC3\xA8 protetto dalla scrittura; non sostituito";
        case SaveError::BrokenLink: return because("collegamento interrotto");
        case SaveError::UntrustedLink:
            return "collegamento di un altro utente in una cartella condivisa; non seguito";
    }
    return "errore sconosciuto";
}

}  // namespace calmora
