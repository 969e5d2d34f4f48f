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
    // Ending on a signal, and the link trace's write failures.
    {"The program will close once this module's firmware has been written.",
     "Le programme se fermera dès que le firmware de ce module sera écrit.",
     "Il programma si chiuderà non appena il firmware di questo modulo sarà stato scritto.",
     "Das Programm wird beendet, sobald die Firmware dieses Moduls geschrieben ist.",
     "El programa se cerrará en cuanto se haya escrito el firmware de este módulo."},
    {"The link trace could not be written (%s); it stops here.",
     "La trace de liaison n'a pas pu être écrite (%s) ; elle s'arrête ici.",
     "La traccia del collegamento non ha potuto essere scritta (%s); si ferma qui.",
     "Die Verbindungsaufzeichnung konnte nicht geschrieben werden (%s); sie endet hier.",
     "No se pudo escribir la traza del enlace (%s); se detiene aquí."},
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
