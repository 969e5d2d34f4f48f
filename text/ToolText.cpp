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
    // Firmware update: a module the update leaves as it is, and why.
    {"Module %d (%s) left as it is: its update from %s was already tried in this session. "
     "Change the firmware folder and press the rescan button to try again.",
     "Module %d (%s) laissé tel quel : sa mise à jour depuis %s a déjà été tentée pendant cette session. "
     "Modifiez le dossier firmware et appuyez sur le bouton de nouvelle recherche pour réessayer.",
     "Modulo %d (%s) lasciato com'è: il suo aggiornamento da %s è già stato tentato in questa sessione. "
     "Modificare la cartella firmware e premere il pulsante di nuova scansione per riprovare.",
     "Modul %d (%s) bleibt unverändert: sein Update aus %s wurde in dieser Sitzung schon versucht. "
     "Ändern Sie den Firmware-Ordner und drücken Sie die Taste für einen neuen Suchlauf, um es erneut zu "
     "versuchen.",
     "Módulo %d (%s) se deja como está: su actualización desde %s ya se intentó en esta sesión. "
     "Cambie la carpeta firmware y pulse el botón de nueva búsqueda para intentarlo de nuevo."},
    {"Module %d (%s) left as it is: the front-panel picture %s is missing or unreadable.",
     "Module %d (%s) laissé tel quel : l'image de face avant %s est absente ou illisible.",
     "Modulo %d (%s) lasciato com'è: l'immagine del pannello frontale %s manca o è illeggibile.",
     "Modul %d (%s) bleibt unverändert: das Frontplattenbild %s fehlt oder ist nicht lesbar.",
     "Módulo %d (%s) se deja como está: la imagen del panel frontal %s falta o no se puede leer."},
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
