#include "text/ToolText.h"

#include <utility>

static_assert(sizeof("\u00E9") == 3, "string literals must be UTF-8 encoded");

namespace kaptiv::text {

const std::array<ToolTextRow, kToolTextCount> kToolTextTable = {{
    {"Module list refused: %d modules listed, at most %d.",
     "Liste des modules refusée : %d modules annoncés, %d au plus.",
     "Elenco dei moduli rifiutato: %d moduli elencati, al massimo %d.",
     "Modulliste abgelehnt: %d Module gemeldet, höchstens %d.",
     "Lista de módulos rechazada: %d módulos indicados, como máximo %d."},
    {"Module %d: parameter block of %d bytes refused (at most %d).",
     "Module %d : bloc de paramètres de %d octets refusé (%d au plus).",
     "Modulo %d: blocco di parametri di %d byte rifiutato (al massimo %d).",
     "Modul %d: Parameterblock mit %d Bytes abgelehnt (höchstens %d).",
     "Módulo %d: bloque de parámetros de %d bytes rechazado (como máximo %d)."},
    // USB-key file names and the CAM panel's answer.
    {"Empty file name.", "Nom de fichier vide.", "Nome di file vuoto.", "Leerer Dateiname.",
     "Nombre de archivo vacío."},
    {"\"%s\": not a file of the USB key.", "\"%s\" : pas un fichier de la clé USB.",
     "\"%s\": non è un file della chiavetta USB.", "\"%s\": keine Datei des USB-Sticks.",
     "\"%s\": no es un archivo de la memoria USB."},
    {"\"%s\": the name holds a control character.", "\"%s\" : le nom contient un caractère de contrôle.",
     "\"%s\": il nome contiene un carattere di controllo.", "\"%s\": der Name enthält ein Steuerzeichen.",
     "\"%s\": el nombre contiene un carácter de control."},
    {"\"%s\": the name holds a quotation mark, which cannot be passed to the module.",
     "\"%s\" : le nom contient un guillemet, qui ne peut pas être transmis au module.",
     "\"%s\": il nome contiene una virgoletta, che non può essere trasmessa al modulo.",
     "\"%s\": der Name enthält ein Anführungszeichen, das nicht an das Modul übergeben werden kann.",
     "\"%s\": el nombre contiene una comilla, que no se puede transmitir al módulo."},
    {"\"%s\": the name is too long for the module.", "\"%s\" : le nom est trop long pour le module.",
     "\"%s\": il nome è troppo lungo per il modulo.", "\"%s\": der Name ist zu lang für das Modul.",
     "\"%s\": el nombre es demasiado largo para el módulo."},
    {"\"%s\": the name cannot be written on the USB key.",
     "\"%s\" : le nom ne peut pas être écrit sur la clé USB.",
     "\"%s\": il nome non può essere scritto sulla chiavetta USB.",
     "\"%s\": der Name kann nicht auf den USB-Stick geschrieben werden.",
     "\"%s\": el nombre no se puede escribir en la memoria USB."},
    {"[name not usable]", "[nom inutilisable]", "[nome non utilizzabile]", "[Name nicht verwendbar]",
     "[nombre no utilizable]"},
    {"The schedule could not be written to the module: \"%s\" was not replaced.",
     "Le programme n'a pas pu être écrit dans le module : \"%s\" n'a pas été remplacé.",
     "La programmazione non è stata scritta nel modulo: \"%s\" non è stato sostituito.",
     "Der Zeitplan konnte nicht in das Modul geschrieben werden: \"%s\" wurde nicht ersetzt.",
     "No se pudo escribir la programación en el módulo: \"%s\" no se ha sustituido."},
    {"The schedule could not be written to the module: \"%s\" was not deleted.",
     "Le programme n'a pas pu être écrit dans le module : \"%s\" n'a pas été supprimé.",
     "La programmazione non è stata scritta nel modulo: \"%s\" non è stato cancellato.",
     "Der Zeitplan konnte nicht in das Modul geschrieben werden: \"%s\" wurde nicht gelöscht.",
     "No se pudo escribir la programación en el módulo: \"%s\" no se ha borrado."},
    {"Answer too long: at most %d characters", "Réponse trop longue : %d caractères au plus",
     "Risposta troppo lunga: al massimo %d caratteri", "Antwort zu lang: höchstens %d Zeichen",
     "Respuesta demasiado larga: %d caracteres como máximo"},
}};

std::string LocalizedToolText(ToolText id, int language) {
    const int row = static_cast<int>(id);
    if (row < 0 || row >= kToolTextCount || language < 0 || language >= kLanguageCount)
        return {};
    return kToolTextTable[static_cast<size_t>(row)][static_cast<size_t>(language)];
}

std::string LocalizedToolText(ToolText id) {
    return LocalizedToolText(id, LanguageIndex());
}

} // namespace kaptiv::text
