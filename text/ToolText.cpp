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
    // Settings page and installation report: one view per module family.
    {"Please enter only characters the module can store.",
     "Veuillez n'entrer que des caractères que le module peut enregistrer.",
     "Inserire solo caratteri che il modulo può memorizzare.",
     "Bitte nur Zeichen eingeben, die das Modul speichern kann.",
     "Introduzca solo caracteres que el módulo pueda guardar."},
    {"The settings of this module could not be read; they are not reported.",
     "Les réglages de ce module n'ont pas pu être lus ; ils ne figurent pas dans le rapport.",
     "Impossibile leggere le impostazioni di questo modulo; non compaiono nel rapporto.",
     "Die Einstellungen dieses Moduls konnten nicht gelesen werden; sie fehlen im Bericht.",
     "No se pudieron leer los ajustes de este módulo; no figuran en el informe."},
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
